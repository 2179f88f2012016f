// The system's eigenvalues along the reference against the stability
// regions: the Jacobian by automatic differentiation agrees with the
// built-in system's closed form, and the smallest N and the first x where
// h·λ leaves a region come out as the intervals say.
#include <gtest/gtest.h>

#include <cmath>

#include "core/stability.h"

namespace kavrin {
namespace {

std::shared_ptr<const Problem> Typed(const SystemTexts& texts) {
  const Outcome<std::shared_ptr<const Problem>> problem = ReadProblem(texts);
  EXPECT_TRUE(problem.ok());
  return problem.value();
}

StabilityStudy Along(std::shared_ptr<const Problem> problem, const std::string& x1, const std::string& N,
                     const std::string& methods) {
  const Outcome<ComparisonRequest> request = ReadComparisonRequest(std::move(problem), {x1, N, methods, "", "", ""});
  EXPECT_TRUE(request.ok());
  return RunStability(request.value()).value();
}

TEST(Stability, TheJacobiansEigenvaluesAlongTheReference) {
  const StabilityStudy builtin = Along(BuiltInProblem(), "2", "10", "rk4");
  ASSERT_EQ(builtin.path.size(), kStabilityPoints + 1);
  // At the start [[-1, 1], [1, 0]]: (-1 ± √5)/2.
  EXPECT_DOUBLE_EQ(builtin.path.front().lambda1.real(), (std::sqrt(5.0) - 1) / 2);
  EXPECT_DOUBLE_EQ(builtin.path.front().lambda2.real(), -(std::sqrt(5.0) + 1) / 2);
  // The same equations typed: differentiated automatically, the same eigenvalues everywhere.
  const StabilityStudy typed = Along(Typed({"y1*y2 + x", "x*y2 + y1", "0", "1", "-1"}), "2", "10", "rk4");
  ASSERT_EQ(typed.path.size(), builtin.path.size());
  for (std::size_t i = 0; i < typed.path.size(); i += 400) {
    EXPECT_NEAR(typed.path[i].lambda1.real(), builtin.path[i].lambda1.real(), 1e-12) << i;
    EXPECT_NEAR(typed.path[i].lambda2.real(), builtin.path[i].lambda2.real(), 1e-12) << i;
  }
  // A function's derivative: y1' = sin(y2), y2' = -y1 at (1, 0): [[0, 1], [-1, 0]], λ = ±i.
  const StabilityStudy pendulum = Along(Typed({"sin(y2)", "-y1", "0", "1", "0"}), "1", "10", "rk4");
  EXPECT_DOUBLE_EQ(pendulum.path.front().lambda1.imag(), 1);
  EXPECT_EQ(pendulum.path.front().lambda1.real(), 0);
}

TEST(Stability, SmallestNAndWhereHLambdaLeaves) {
  // The oscillator's λ = ±i: only regions that hold part of the imaginary
  // axis keep it, RK4 with N >= 2π/2√2.
  const StabilityStudy oscillator = Along(Typed({"y2", "-y1", "0", "1", "0"}), "6.28", "10", "euler,rk4");
  EXPECT_EQ(oscillator.methods[0].smallest_N, 0);
  EXPECT_EQ(oscillator.methods[0].leaves_at, 0.0);
  EXPECT_EQ(oscillator.methods[1].smallest_N, 3);
  EXPECT_FALSE(oscillator.methods[1].leaves_at);
  // A decay at rate 50: h·50 within each real interval.
  const StabilityStudy decay = Along(Typed({"-50*y1", "-y2", "0", "1", "1"}), "1", "10", "euler,rk4,rkf");
  EXPECT_EQ(decay.methods[0].smallest_N, 25);
  EXPECT_EQ(decay.methods[1].smallest_N, std::ceil(50 / 2.785293563));
  EXPECT_EQ(decay.methods[2].smallest_N, std::ceil(50 / 3.677706621));
  for (const MethodStability& m : decay.methods) EXPECT_EQ(m.leaves_at, 0.0) << Info(m.method).id;
}

}  // namespace
}  // namespace kavrin
