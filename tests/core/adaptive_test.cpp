// Steps that choose their own size: the error follows the tolerance, the
// last step lands on x1, rejections are taken and counted, the budget and a
// step that no longer moves x end the march with their reports, a run is
// the same to the bit twice, and bad input is refused with what to enter.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "core/adaptive_run.h"
#include "core/equation.h"
#include "ode/rkf.h"

namespace kavrin {
namespace {

AdaptiveRun Adapted(std::shared_ptr<const Problem> problem, const AdaptiveTexts& texts) {
  const Outcome<AdaptiveRequest> request = ReadAdaptiveRequest(std::move(problem), texts);
  EXPECT_TRUE(request.ok()) << (request.ok() ? "" : Describe(request.failure()));
  return RunAdaptive(request.value());
}

TEST(Adaptive, TheErrorFollowsTheToleranceAndTheLastStepLandsOnX1) {
  const std::shared_ptr<const Problem> oscillator = ReadProblem({"y2", "-y1", "0", "1", "0"}).value();
  for (const char* method : {"rkf", "rkm", "dopri54"}) {
    // A least-squares slope of log(error) against log(tolerance).
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    int n = 0;
    for (double tolerance = 1e-4; tolerance >= 1e-10; tolerance /= 10) {
      char text[32];
      std::snprintf(text, sizeof text, "%g", tolerance);
      const AdaptiveRun run = Adapted(oscillator, {"6.28", method, text, "", "", "", ""});
      ASSERT_EQ(run.march.stop, AdaptiveMarch::Stop::Reached) << method;
      EXPECT_EQ(run.march.accepted.back().x, 6.28) << method;
      ASSERT_TRUE(run.error) << method;
      const double x = std::log10(tolerance), y = std::log10(*run.error);
      sx += x, sy += y, sxx += x * x, sxy += x * y, ++n;
    }
    const double slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
    EXPECT_GT(slope, 0.7) << method;
    EXPECT_LT(slope, 1.3) << method;
  }
}

TEST(Adaptive, RejectionsStopsAndTheSameBitsTwice) {
  // A first step far too large is rejected, and the step after is smaller.
  const AdaptiveRun big = Adapted(BuiltInProblem(), {"2.5", "rkf", "1e-8", "", "", "1", ""});
  ASSERT_EQ(big.march.stop, AdaptiveMarch::Stop::Reached);
  ASSERT_GE(big.march.rejected.size(), 2u);
  EXPECT_EQ(big.march.rejected.front().h, 1.0);
  EXPECT_LT(big.march.rejected[1].h, 1.0);
  EXPECT_EQ(big.march.evaluations, 6 * (big.march.accepted.size() - 1 + big.march.rejected.size()));
  EXPECT_NE(AdaptiveReport(big)[1].find(std::to_string(big.march.rejected.size()) + " rejected"), std::string::npos);
  // Each accepted step is Fehlberg's fixed step of its h, to the bit.
  for (std::size_t i = 1; i < big.march.accepted.size(); ++i) {
    const AdaptiveStep& from = big.march.accepted[i - 1];
    const State<double> fixed =
        RKF::Step(BuiltInSystem{}, State<double>{from.x, from.y1, from.y2}, big.march.accepted[i].h);
    ASSERT_EQ(fixed.y1, big.march.accepted[i].y1) << i;
    ASSERT_EQ(fixed.y2, big.march.accepted[i].y2) << i;
  }
  // Twice the same, to the bit.
  const AdaptiveRun again = Adapted(BuiltInProblem(), {"2.5", "rkf", "1e-8", "", "", "1", ""});
  ASSERT_EQ(again.march.accepted.size(), big.march.accepted.size());
  EXPECT_EQ(std::memcmp(again.march.accepted.data(), big.march.accepted.data(),
                        big.march.accepted.size() * sizeof(AdaptiveStep)),
            0);
  EXPECT_EQ(AdaptiveCsv(again), AdaptiveCsv(big));

  // The budget, and a step that no longer moves x before the pole.
  const AdaptiveRun budget = Adapted(BuiltInProblem(), {"1", "rkf", "1e-6", "", "", "", "5"});
  EXPECT_EQ(budget.march.stop, AdaptiveMarch::Stop::Budget);
  EXPECT_EQ(budget.march.accepted.size() - 1 + budget.march.rejected.size(), 5u);
  EXPECT_NE(Describe(*AdaptiveStopFailure(budget)).find("the budget of 5 steps tried ran out at x = "),
            std::string::npos);
  const AdaptiveRun pole = Adapted(BuiltInProblem(), {"3", "rkf", "1e-8", "", "", "", ""});
  EXPECT_EQ(pole.march.stop, AdaptiveMarch::Stop::StepTooSmall);
  EXPECT_NEAR(pole.march.stop_x, 2.7305937325145234, 1e-8);
  EXPECT_NE(Describe(*AdaptiveStopFailure(pole)).find("which no longer moves x"), std::string::npos);
}

TEST(Adaptive, BadInputIsRefusedWithWhatToEnter) {
  auto refused = [](const AdaptiveTexts& texts) {
    const Outcome<AdaptiveRequest> r = ReadAdaptiveRequest(BuiltInProblem(), texts);
    return r.ok() ? std::string() : Describe(r.failure());
  };
  EXPECT_NE(refused({"1", "rk4", "1e-8", "", "", "", ""}).find("the methods that have one: rkf, rkm"),
            std::string::npos);
  for (const char* tolerance : {"0", "-1e-6", "2", "abc", "", "1e-20"})
    EXPECT_NE(refused({"1", "rkf", tolerance, "", "", "", ""}), "") << tolerance;
  EXPECT_NE(refused({"1", "rkf", "1e-20", "", "", "", ""}).find("Enter at least 2.2e-14"), std::string::npos);
  EXPECT_NE(refused({"1", "rkf", "1e-8", "", "", "0", ""}), "");
  EXPECT_NE(refused({"1", "rkf", "1e-8", "", "", "", "2.5"}), "");
  // The controller's root agrees with pow (whose 1/n is itself rounded).
  for (const double x : {1e-300, 0.37, 1.0, 2.0, 123.456, 1e300})
    for (const int n : {2, 4, 5, 6}) EXPECT_NEAR(DeterministicRoot(x, n) / std::pow(x, 1.0 / n), 1, 1e-13) << x << n;
}

}  // namespace
}  // namespace kavrin
