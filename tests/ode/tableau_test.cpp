// Each method's Butcher tableau is the step it performs: one step on linear
// systems gives the tableau's stability function, and on quadratures its
// nodes and weights; and the stability intervals of the classics.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "ode/method_table.h"
#include "ode/tableau.h"

namespace kavrin {
namespace {

// y1' = l1 y1, y2' = l2 y2.
struct Linear {
  double l1, l2;
  template <typename Real>
  Derivatives<Real> operator()(Real, Real y1, Real y2) const {
    return {l1 * y1, l2 * y2};
  }
};
// y1' = y2 + x, y2' = x^2: one step from (0, 0, 0) gives
// y1 = h^2 b.c + h^4 b.(A c^2) and y2 = h^3 b.c^2.
struct Quadrature {
  template <typename Real>
  Derivatives<Real> operator()(Real x, Real y1, Real y2) const {
    (void)y1;
    return {y2 + x, x * x};
  }
};

class TableauTest : public ::testing::TestWithParam<MethodInfo> {};

TEST_P(TableauTest, AgreesWithItsStep) {
  const MethodInfo& info = GetParam();
  const Tableau& t = ButcherTableau(info.method);
  ASSERT_EQ(t.stages, static_cast<std::size_t>(info.stages));
  ASSERT_EQ(t.explicit_method(), info.method != Method::BackwardEuler && info.method != Method::ImplicitMidpoint);
  const StabilityFunction r = StabilityOf(t);
  for (const double h : {0.1, 0.7, 1.0}) {
    for (const std::pair<double, double>& rates : {std::pair{-3.0, 0.5}, std::pair{-0.5, 2.5}}) {
      const double l1 = rates.first, l2 = rates.second;
      const State<double> next = WithStep(info.method, [&](auto step) {
        return step.Step(Linear{l1, l2}, State<double>{0, 1, 1}, h);
      });
      EXPECT_NEAR(next.y1, Stability(r, {h * l1, 0}).real(), 1e-14 * (1 + std::fabs(next.y1))) << info.id << h;
      EXPECT_NEAR(next.y2, Stability(r, {h * l2, 0}).real(), 1e-14 * (1 + std::fabs(next.y2))) << info.id << h;
    }
    // The nodes, the weights and A against x: y2 = h^3 sum b c^2, and
    // y1 = h^2 sum b c + h^3 sum b (A c^2).
    double bc = 0, bc2 = 0, bac2 = 0;
    for (std::size_t i = 0; i < t.stages; ++i) {
      bc += t.b[i] * t.c[i];
      bc2 += t.b[i] * t.c[i] * t.c[i];
      double ac2 = 0;
      for (std::size_t j = 0; j < t.stages; ++j) ac2 += t.a[i][j] * t.c[j] * t.c[j];
      bac2 += t.b[i] * ac2;
    }
    const State<double> q = WithStep(info.method, [&](auto step) {
      return step.Step(Quadrature{}, State<double>{0, 0, 0}, h);
    });
    EXPECT_NEAR(q.y2, h * h * h * bc2, 1e-15) << info.id << h;
    EXPECT_NEAR(q.y1, h * h * bc + h * h * h * h * bac2, 1e-15) << info.id << h;
  }
  // Consistent weights, and a row sum for each node.
  double sum = 0;
  for (std::size_t i = 0; i < t.stages; ++i) {
    sum += t.b[i];
    double row = 0;
    for (std::size_t j = 0; j < t.stages; ++j) row += t.a[i][j];
    EXPECT_NEAR(row, t.c[i], 1e-15) << info.id << " row " << i;
  }
  EXPECT_NEAR(sum, 1, 1e-15) << info.id;
}

INSTANTIATE_TEST_SUITE_P(Methods, TableauTest, ::testing::ValuesIn(kMethods), [](const auto& param) {
  std::string name(param.param.id);
  for (char& c : name)
    if (c == '-') c = '_';
  return name;
});

// The embedded pairs' second weights have their own orders: Fehlberg's 4,
// Merson's 3 (sum b c^3 = 1/4 fails for it).
TEST(Tableau, EmbeddedWeightsHaveTheirOrders) {
  for (const auto& [method, order] : {std::pair{Method::RKF, 4}, std::pair{Method::RKM, 3}}) {
    const Tableau& t = ButcherTableau(method);
    ASSERT_TRUE(t.embedded);
    for (int k = 0; k < order; ++k) {
      double moment = 0;
      for (std::size_t i = 0; i < t.stages; ++i) moment += t.second[i] * std::pow(t.c[i], k);
      EXPECT_NEAR(moment, 1.0 / (k + 1), 1e-15) << static_cast<int>(method) << " c^" << k;
    }
  }
  EXPECT_FALSE(ButcherTableau(Method::RK4).embedded);
}

// The intervals on the axes: RK4 and Gill from -2.785293563 to 0 and
// +-2.828427125 (2 sqrt 2); Euler and the two-stage methods [-2, 0] and
// nothing of the imaginary axis.
TEST(Tableau, StabilityIntervalsOfTheClassics) {
  for (const Method method : {Method::RK4, Method::RK4G}) {
    const StabilityIntervals i = AxisIntervals(StabilityPolynomial(ButcherTableau(method)));
    EXPECT_NEAR(i.real, 2.785293563, 1e-9);
    EXPECT_NEAR(i.imaginary, 2 * std::sqrt(2.0), 1e-9);
  }
  for (const Method method : {Method::Euler, Method::EulerEP, Method::EulerMP}) {
    const StabilityIntervals i = AxisIntervals(StabilityPolynomial(ButcherTableau(method)));
    EXPECT_NEAR(i.real, 2, 1e-9);
    EXPECT_EQ(i.imaginary, 0);
  }
  // The implicit ones are A-stable: both half-axes whole.
  for (const Method method : {Method::BackwardEuler, Method::ImplicitMidpoint}) {
    const StabilityIntervals i = AxisIntervals(StabilityOf(ButcherTableau(method)));
    EXPECT_EQ(i.real, HUGE_VAL);
    EXPECT_EQ(i.imaginary, HUGE_VAL);
  }
}

}  // namespace
}  // namespace kavrin
