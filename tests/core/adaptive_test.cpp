// Steps that choose their own size: the error follows the tolerance, the
// last step lands on x1, rejections are taken and counted, the budget and a
// step that no longer moves x end the march with their reports, a run is
// the same to the bit twice, and bad input is refused with what to enter.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "core/adaptive_run.h"
#include "core/equation.h"
#include "core/number_text.h"
#include "core/requests.h"
#include "core/study_report.h"
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
  // The controller's tables, to 0.1 %, over the whole range of doubles.
  for (const double x : {1e-300, 0.37, 0.5, 0.999, 1.0, 2.0, 123.456, 1e300, 4.9e-324}) {
    for (const int n : {2, 4, 5, 6}) {
      EXPECT_NEAR(DeterministicRoot(x, n) / std::pow(x, 1.0 / n), 1, 1e-13) << x << n;
      const RootTable& roots = RootTableFor(n);
      EXPECT_NEAR(roots.Down(x) * std::pow(x, 1.0 / n), 1, 1e-3) << x << n;
      if (x >= 1e-300) {
        EXPECT_NEAR(roots.SafeUp(x) / std::pow(x, 1.0 / n) / 0.9, 1, 1e-3) << x << n;
      }
    }
  }
}

TEST(ToleranceSweep, ReadsOnePerDecadeAndRefusesWhatDoubleCannotHonour) {
  const Outcome<std::vector<double>> decades = ReadToleranceList(kDefaultTolerances);
  ASSERT_TRUE(decades.ok());
  const std::vector<double> expected{1e-3, 1e-4, 1e-5, 1e-6, 1e-7, 1e-8, 1e-9, 1e-10, 1e-11, 1e-12};
  EXPECT_EQ(decades.value(), expected);  // each the double nearest its power of ten
  EXPECT_EQ(ReadToleranceList("2.5e-12..2.5e-9").value(), (std::vector<double>{2.5e-9, 2.5e-10, 2.5e-11, 2.5e-12}));
  EXPECT_EQ(ReadToleranceList(" 1e-8, 1e-4,1e-8").value(), (std::vector<double>{1e-4, 1e-8}));
  for (const char* wrong : {"", " ", "0", "1e-3..1e-20", "2", "1e-3,abc"})
    EXPECT_FALSE(ReadToleranceList(wrong).ok()) << wrong;
  StudyTexts texts;
  texts.sweep = true;
  texts.tolerances = "1e-6";
  texts.pairs = "rkf,rk4";
  const Outcome<StudyRequest> no_pair = ReadStudyRequest(BuiltInProblem(), texts);
  ASSERT_FALSE(no_pair.ok());
  EXPECT_NE(Describe(no_pair.failure()).find("the methods that have one: rkf, rkm"), std::string::npos);
}

TEST(ToleranceSweep, EachRunIsTheSingleRunAndTheErrorFollowsTheTolerance) {
  StudyTexts texts;
  texts.sweep = true;
  texts.steps = "";  // the sweep alone
  texts.tolerances = kDefaultTolerances;
  const Outcome<StudyRequest> request = ReadStudyRequest(BuiltInProblem(), texts);
  ASSERT_TRUE(request.ok()) << Describe(request.failure());
  EXPECT_TRUE(request.value().steps.empty());
  const Study study = RunStudy(request.value());
  ASSERT_EQ(study.sweep.size(), 30u);  // rkf, rkm, dopri54 at ten tolerances
  for (const SweepRun& run : study.sweep) {
    ASSERT_EQ(run.mark, Mark::Ok) << Info(run.method).id << " " << run.tolerance << " " << run.failure;
    // The same bits as one run of that method and tolerance.
    const AdaptiveRun single = Adapted(
        BuiltInProblem(), {"1", std::string(Info(run.method).id), ToleranceText(run.tolerance), "", "", "", ""});
    EXPECT_EQ(run.y1, single.march.accepted.back().y1);
    EXPECT_EQ(run.evaluations, static_cast<double>(single.march.evaluations));
    EXPECT_EQ(run.error, *single.error);
    EXPECT_LT(run.rounding, run.truncation);
  }
  for (const Method method : SweepMethods(study)) {
    const std::optional<double> slope = ToleranceSlope(study, method);
    ASSERT_TRUE(slope);
    EXPECT_GT(*slope, 0.7) << Info(method).id;
    EXPECT_LT(*slope, 1.3) << Info(method).id;
  }
  const std::string csv = StudyReport(study, ReportFormat::Csv);
  EXPECT_EQ(csv.substr(0, csv.find('\n')),
            "method,N,h,y1,y2,error,truncation,rounding,order,mark,evaluations,tolerance,rejected");
  EXPECT_NE(StudyReport(study, ReportFormat::Text).find("Steps chosen under a tolerance"), std::string::npos);

  // A solution every pair integrates exactly: rounding is all its error, so
  // no tolerance is honoured, and the report says so instead of a point.
  texts.tolerances = "1e-6,1e-10";
  texts.pairs = "rkf";
  const Study exact = RunStudy(ReadStudyRequest(ReadProblem({"1", "2*x", "0", "0", "0"}).value(), texts).value());
  ASSERT_EQ(exact.sweep.size(), 2u);
  for (const SweepRun& run : exact.sweep) EXPECT_EQ(run.mark, Mark::RoundOff);
  const std::vector<std::string> notes = SweepNotes(exact);
  EXPECT_NE(notes.front().find("Not honoured in double"), std::string::npos);
}

}  // namespace
}  // namespace kavrin
