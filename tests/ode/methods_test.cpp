// The equations and the seven step methods. Exact bit patterns come from
// scripts/reference_values.py, which evaluates the same formulas in the same
// order of operations with Python's IEEE doubles; the decimal values are the
// published approximations of the same steps.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <ostream>
#include <string>

#include "ode/march.h"
#include "ode/method_table.h"

namespace kavrin {
namespace {

TEST(Equations, RightHandSidesAtTheStartAndAfterOneEulerStep) {
  EXPECT_EQ(f1(0.0, 1.0, -1.0), -1.0);
  EXPECT_EQ(f2(0.0, 1.0, -1.0), 1.0);
  // The product first, then the sum: (0.9 * -0.9) + 0.1.
  EXPECT_EQ(f1(0.1, 0.9, -0.9), -0x1.6b851eb851eb9p-1);
  EXPECT_NEAR(f1(0.1, 0.9, -0.9), -0.71, 1e-15);
  EXPECT_EQ(f2(0.1, 0.9, -0.9), 0x1.9eb851eb851ecp-1);
  EXPECT_NEAR(f2(0.1, 0.9, -0.9), 0.81, 1e-15);
}

struct Expected {
  Method method;
  // One step of h = 0.1 from (0, 1, -1): exact bits and the published decimals.
  double one_y1, one_y2, one_y1_approx, one_y2_approx;
  // Ten such steps, each from the previous step's x0 + h.
  double ten_y1, ten_y2;
};

const Expected kExpected[] = {
    {Method::Euler, 0x1.ccccccccccccdp-1, -0x1.ccccccccccccdp-1, 0.9, -0.9, 0x1.bdc7ac1896ed5p-1,
     -0x1.d8e13884e7341p-2},
    {Method::EulerEP, 0x1.d4395810624ddp-1, -0x1.d1a9fbe76c8b4p-1, 0.9145, -0.9095, 0x1.d7329e105f5b6p-1,
     -0x1.e000820d93a6fp-2},
    {Method::EulerMP, 0x1.d45a1cac08312p-1, -0x1.d1cac083126eap-1, 0.91475, -0.90975, 0x1.d708e2595a066p-1,
     -0x1.e1d4de70b8abap-2},
    {Method::RK4, 0x1.d3ef7281d322fp-1, -0x1.d184f98c81bc6p-1, 0.9139362129, -0.9092176422, 0x1.d67182fafa573p-1,
     -0x1.df4d1b20bace2p-2},
    {Method::RKF, 0x1.d3ef7734ccb0ep-1, -0x1.d184e9ccdc516p-1, 0.9139363529, -0.9092171729, 0x1.d671985359598p-1,
     -0x1.df4c77fbe4526p-2},
    {Method::RKM, 0x1.d3ef7d9088a5fp-1, -0x1.d184f13bf5e4fp-1, 0.9139365424, -0.9092173944, 0x1.d6719d09936cap-1,
     -0x1.df4ca4f61be1fp-2},
    {Method::RK4G, 0x1.d3ef8268224c9p-1, -0x1.d184f8b74cfb6p-1, 0.9139366867, -0.9092176174, 0x1.d671a6d7ee8c8p-1,
     -0x1.df4cca59d9c25p-2},
};

void PrintTo(const Expected& e, std::ostream* os) { *os << Info(e.method).result_name; }

// Published ten-step decimals (to 10 digits) where they exist.
struct TenStepDecimals {
  Method method;
  double y1, y2;
};
const TenStepDecimals kTenStepDecimals[] = {
    {Method::Euler, 0.8706640034, -0.4617966491},   {Method::EulerEP, 0.9203080554, -0.4687519379},
    {Method::EulerMP, 0.9199896559, -0.4705385929}, {Method::RK4, 0.9188347751, -0.4680675734},
    {Method::RKF, 0.9188354112, -0.4680651424},
};

class StepMethodTest : public ::testing::TestWithParam<Expected> {
 protected:
  State<double> Step(const State<double>& s, double h) const { return StepOnce(GetParam().method, s, h); }
};

std::string MethodName(const ::testing::TestParamInfo<Expected>& info) {
  // The result-line name's letters and digits, without "Method".
  std::string name;
  for (const char c : Info(info.param.method).result_name.substr(0, Info(info.param.method).result_name.size() - 7))
    if (std::isalnum(static_cast<unsigned char>(c))) name += c;
  return name;
}

TEST_P(StepMethodTest, OneStepGivesTheReferenceBits) {
  const Expected& e = GetParam();
  const State<double> s = Step({0, 1, -1}, 0.1);
  EXPECT_EQ(s.x, 0.1);
  EXPECT_EQ(s.y1, e.one_y1);
  EXPECT_EQ(s.y2, e.one_y2);
  EXPECT_NEAR(s.y1, e.one_y1_approx, 5e-11);
  EXPECT_NEAR(s.y2, e.one_y2_approx, 5e-11);
}

TEST_P(StepMethodTest, TenStepsGiveTheReferenceBits) {
  const Expected& e = GetParam();
  State<double> s{0, 1, -1};
  for (int i = 0; i < 10; ++i) s = Step(s, 0.1);
  EXPECT_EQ(s.y1, e.ten_y1);
  EXPECT_EQ(s.y2, e.ten_y2);
  for (const TenStepDecimals& d : kTenStepDecimals) {
    if (d.method != e.method) continue;
    EXPECT_NEAR(s.y1, d.y1, 5e-11);
    EXPECT_NEAR(s.y2, d.y2, 5e-11);
  }
}

TEST_P(StepMethodTest, ZeroStepReturnsTheInputsExactly) {
  for (const double start : {0.0, -3.75, 1e10}) {
    const State<double> s{start, 0.1 + start, -7.25e-3};
    const State<double> next = Step(s, 0);
    EXPECT_EQ(next.x, s.x);
    EXPECT_EQ(next.y1, s.y1);
    EXPECT_EQ(next.y2, s.y2);
  }
}

TEST_P(StepMethodTest, NegativeStepIntegratesBackwards) {
  // One step back from the forward step's end lands near the start again.
  const State<double> back = Step(Step({0, 1, -1}, 0.01), -0.01);
  const double tolerance = Info(GetParam().method).order == 1 ? 1e-3 : 1e-6;
  EXPECT_NEAR(back.y1, 1.0, tolerance);
  EXPECT_NEAR(back.y2, -1.0, tolerance);
}

// An overflow in the first stage (y1 * y2 = 1e400) shows in the state the
// step returns, where the march finds it.
TEST_P(StepMethodTest, OverflowInTheStagesGivesANonFiniteState) {
  EXPECT_FALSE(AllFinite(Step({2, 1e200, 1e200}, 0.5)));
  EXPECT_TRUE(AllFinite(Step({2, 1e100, 1e100}, 1e-250)));
}

// The error at x = 1 falls by 2^order when the step is halved. A wrong
// coefficient that still gives the right first step shows up here.
long double ReferenceAtOne(int component) {
  // Classical RK4 in extended precision with a step far below the tested ones.
  constexpr int kSteps = 20000;
  const long double h = 1.0L / kSteps;
  long double x = 0, a = 1, b = -1;
  auto g1 = [](long double x, long double y1, long double y2) { return y1 * y2 + x; };
  auto g2 = [](long double x, long double y1, long double y2) { return x * y2 + y1; };
  for (int i = 0; i < kSteps; ++i) {
    const long double k1 = h * g1(x, a, b), l1 = h * g2(x, a, b);
    const long double k2 = h * g1(x + h / 2, a + k1 / 2, b + l1 / 2), l2 = h * g2(x + h / 2, a + k1 / 2, b + l1 / 2);
    const long double k3 = h * g1(x + h / 2, a + k2 / 2, b + l2 / 2), l3 = h * g2(x + h / 2, a + k2 / 2, b + l2 / 2);
    const long double k4 = h * g1(x + h, a + k3, b + l3), l4 = h * g2(x + h, a + k3, b + l3);
    a += (k1 + 2 * k2 + 2 * k3 + k4) / 6;
    b += (l1 + 2 * l2 + 2 * l3 + l4) / 6;
    x = (i + 1) * h;
  }
  return component == 1 ? a : b;
}

double ErrorAtOne(Method method, int steps) {
  static const long double ref1 = ReferenceAtOne(1);
  static const long double ref2 = ReferenceAtOne(2);
  const double h = 1.0 / steps;
  State<double> s{0, 1, -1};
  for (int i = 0; i < steps; ++i) s = StepOnce(method, s, h);
  return static_cast<double>(std::fabs(s.y1 - ref1) + std::fabs(s.y2 - ref2));
}

TEST_P(StepMethodTest, ObservedOrderOfConvergence) {
  const double coarse = ErrorAtOne(GetParam().method, 32);
  const double fine = ErrorAtOne(GetParam().method, 64);
  const double observed = std::log2(coarse / fine);
  EXPECT_NEAR(observed, Info(GetParam().method).order, 0.2) << "errors " << coarse << " and " << fine;
}

INSTANTIATE_TEST_SUITE_P(AllMethods, StepMethodTest, ::testing::ValuesIn(kExpected), MethodName);

// A system whose derivative is 1 at one stage of a step only (counted from
// 1) and 0 at every other: one step of h = 1 from 0 then adds that stage's
// weight, as the step applies it, to y1.
struct OneStage {
  int stage;
  int* calls;
  Derivatives<double> operator()(double, double, double) const { return {++*calls == stage ? 1.0 : 0.0, 0.0}; }
};

double StageWeight(Method method, int stage) {
  int calls = 0;
  return WithStep(method, [&](auto step) {
    return step.Step(OneStage{stage, &calls}, State<double>{0, 0, 0}, 1.0).y1;
  });
}

// Gill's weights come from s = 1/sqrt(2) and differ from (2 -/+ sqrt(2))/6
// in the last bits: a step whose only non-zero increment is K2 (or K3) adds
// w2/6 (or w3/6), with w2 = 2(1 - s) = 0.5857864376269051 and w3 = 2(1 + s)
// = 3.414213562373095 (their bits from scripts/reference_values.py).
TEST(GillStep, WeightsAreFormedFromTheRoundedInverseRootOfTwo) {
  EXPECT_EQ(StageWeight(Method::RK4G, 2), 0.5857864376269051 / 6);
  EXPECT_EQ(StageWeight(Method::RK4G, 3), 3.414213562373095 / 6);
  EXPECT_NE(StageWeight(Method::RK4G, 2), (2 - std::sqrt(2.0)) / 6);
  EXPECT_EQ(StageWeight(Method::RK4G, 1), 1.0 / 6);
  EXPECT_EQ(StageWeight(Method::RK4G, 4), 1.0 / 6);
}

}  // namespace
}  // namespace kavrin
