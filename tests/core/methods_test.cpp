// Methods as data: the order of a tableau from the order conditions, exactly
// in fractions; the first condition a wrong coefficient breaks; and a
// tableau added as a method, run like the built-in ones.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "core/calculation.h"
#include "core/methods.h"
#include "ode/march.h"

namespace kavrin {
namespace {

struct KnownOrder {
  std::string name;
  std::string text;
  int order;
  int embedded;  // -1 without a second weights line
};

std::string ShippedText(std::string_view id) {
  for (const ShippedTableau& shipped : ShippedTableaux())
    if (shipped.id == id) return std::string(shipped.text);
  ADD_FAILURE() << "no shipped tableau " << id;
  return {};
}

std::vector<KnownOrder> KnownOrders() {
  return {
      {"euler", "0 |\n--+--\n  | 1\n", 1, -1},
      {"heun", "0 | \n1 | 1\n--+--\n  | 1/2 1/2\n", 2, -1},
      {"kutta3", ShippedText("kutta3"), 3, -1},
      {"heun3", ShippedText("heun3"), 3, -1},
      {"ssprk3", ShippedText("ssprk3"), 3, -1},
      {"rk4", "0|\n1/2|1/2\n1/2|0 1/2\n1|0 0 1\n---\n|1/6 1/3 1/3 1/6\n", 4, -1},
      {"kutta38", ShippedText("kutta38"), 4, -1},
      {"fehlberg",
       "0|\n1/4|1/4\n3/8|3/32 9/32\n12/13|1932/2197 -7200/2197 7296/2197\n1|439/216 -8 3680/513 -845/4104\n"
       "1/2|-8/27 2 -3544/2565 1859/4104 -11/40\n---\n|16/135 0 6656/12825 28561/56430 -9/50 2/55\n"
       "|25/216 0 1408/2565 2197/4104 -1/5 0\n",
       5, 4},
      {"dopri54", ShippedText("dopri54"), 5, 4},
  };
}

TEST(OrderConditions, TreesOfEachOrder) {
  std::array<int, kMaxCheckedOrder + 1> count{};
  for (const RootedTree& tree : RootedTrees()) ++count[static_cast<std::size_t>(tree.order)];
  EXPECT_EQ(count, (std::array<int, kMaxCheckedOrder + 1>{0, 1, 1, 2, 4, 9, 20, 48, 115}));
  // Densities: the tall tree of order n has n!, the bushy one n.
  EXPECT_EQ(RootedTrees()[2].text, "[[τ]]");
  EXPECT_EQ(RootedTrees()[2].density, 6);
  EXPECT_EQ(RootedTrees()[3].text, "[τ²]");
  EXPECT_EQ(RootedTrees()[3].density, 3);
  EXPECT_EQ(RootedTrees().back().text, "[τ⁷]");
  EXPECT_EQ(RootedTrees().back().density, 8);
}

TEST(OrderConditions, KnownTableauxExactly) {
  for (const KnownOrder& known : KnownOrders()) {
    const Outcome<TypedTableau> typed = ReadTableau(known.text);
    ASSERT_TRUE(typed.ok()) << known.name << ": " << Describe(typed.failure());
    ASSERT_TRUE(typed.value().exact) << known.name;
    const TableauAnalysis analysis = AnalyseTableau(typed.value());
    EXPECT_TRUE(analysis.order.exact) << known.name;
    EXPECT_EQ(analysis.order.order, known.order) << known.name;
    ASSERT_TRUE(analysis.order.failure) << known.name;
    EXPECT_EQ(RootedTrees()[analysis.order.failure->tree].order, known.order + 1) << known.name;
    ASSERT_EQ(analysis.embedded.has_value(), known.embedded >= 0) << known.name;
    if (analysis.embedded) {
      EXPECT_EQ(analysis.embedded->order, known.embedded) << known.name;
      EXPECT_TRUE(analysis.embedded->exact) << known.name;
    }
    // The same in double, from the coefficients alone.
    EXPECT_EQ(CheckOrder(typed.value().tableau, nullptr, false).order, known.order) << known.name;
  }
}

TEST(OrderConditions, TheMethodsOwnTableauxHaveTheirOrders) {
  for (const MethodInfo& info : kMethods) {
    const OrderResult result = CheckOrder(ButcherTableau(info.method), nullptr, false);
    EXPECT_EQ(result.order, info.order) << info.id;
    EXPECT_FALSE(result.exact);
  }
  EXPECT_EQ(CheckOrder(ButcherTableau(Method::RKF), nullptr, true).order, 4);
}

TEST(OrderConditions, APerturbedCoefficientNamesTheCondition) {
  // Kutta's rule with a_32 = 1 changed to 9/10 (and a_31 so that the row
  // still sums to c_3): every condition up to order 2 and b.c^2 still hold,
  // b.A.c = 3/8 * 9/10 * 1/3 + 1/8 * 1/3 no longer does.
  const Outcome<TypedTableau> typed = ReadTableau("0|\n1/3|1/3\n2/3|-7/30 9/10\n1|1 -1 1\n---\n|1/8 3/8 3/8 1/8\n");
  ASSERT_TRUE(typed.ok());
  const TableauAnalysis analysis = AnalyseTableau(typed.value());
  EXPECT_EQ(analysis.order.order, 2);
  ASSERT_TRUE(analysis.order.failure);
  const FailedCondition& failed = *analysis.order.failure;
  EXPECT_EQ(RootedTrees()[failed.tree].text, "[[τ]]");
  EXPECT_EQ(failed.left, "37/240");
  EXPECT_EQ(failed.right, "1/6");
  const std::vector<std::string> lines = AnalysisLines(typed.value(), analysis);
  EXPECT_NE(lines[2].find("order 3, tree [[τ]]: b·Φ = 37/240, but 1/γ = 1/6"), std::string::npos) << lines[2];
  // An entry that is not a fraction checks in double, and says so.
  const Outcome<TypedTableau> gill = ReadTableau(
      "0|\n1/2|1/2\n1/2|(sqrt(2)-1)/2, (2-sqrt(2))/2\n1|0, -sqrt(2)/2, 1+sqrt(2)/2\n---\n"
      "|1/6, (2-sqrt(2))/6, (2+sqrt(2))/6, 1/6\n");
  ASSERT_TRUE(gill.ok());
  const TableauAnalysis gill_analysis = AnalyseTableau(gill.value());
  EXPECT_FALSE(gill_analysis.order.exact);
  EXPECT_EQ(gill_analysis.order.order, 4);
}

TEST(AddedMethods, ATableauRunsAsAMethodAndIsRefusedWhereItCannot) {
  const Outcome<Method> added = AddTableauMethod("kutta38", ShippedText("kutta38"));
  ASSERT_TRUE(added.ok()) << Describe(added.failure());
  EXPECT_EQ(Info(added.value()).order, 4);
  EXPECT_EQ(Info(added.value()).result_name, "Kutta's 3/8 rule");
  EXPECT_EQ(FindMethod("kutta38"), added.value());
  EXPECT_EQ(AddTableauMethod("kutta38", ShippedText("kutta38")).value(), added.value());
  // Its errors at x = 1 fall as h^4 (against RK4 with 4000 steps).
  State<double> truth = BuiltInSystem::kStart;
  WithStep(Method::RK4, [&](auto step) { return MarchToEnd(step, BuiltInSystem{}, truth, 4000, 1.0 / 4000); });
  double previous = 0;
  for (const std::size_t N : {40, 80}) {
    State<double> state = BuiltInSystem::kStart;
    WithStep(added.value(), [&](auto step) { return MarchToEnd(step, BuiltInSystem{}, state, N, 1.0 / N); });
    const double error = std::fabs(state.y1 - truth.y1);
    if (previous > 0) {
      EXPECT_NEAR(std::log2(previous / error), 4, 0.5);
    }
    previous = error;
  }
  // Refused: a built-in id, an implicit tableau, one without order, a bad id.
  EXPECT_FALSE(AddTableauMethod("RK4", ShippedText("kutta38")).ok());
  const Outcome<Method> implicit = AddTableauMethod("beuler2", "1 | 1\n---\n| 1\n");
  ASSERT_FALSE(implicit.ok());
  EXPECT_NE(implicit.failure().text.find("implicit"), std::string::npos);
  EXPECT_FALSE(AddTableauMethod("none", "0|\n---\n|1/2\n").ok());
  EXPECT_FALSE(AddTableauMethod("a b", ShippedText("kutta38")).ok());
  // A shipped tableau is found by its id alone.
  const std::optional<Method> dopri = FindMethod("dopri54");
  ASSERT_TRUE(dopri);
  EXPECT_EQ(Info(*dopri).order, 5);
}

// The implicit methods as a press runs them: the midpoint rule keeps the
// oscillator's energy to rounding where RK4 loses it; backward Euler holds
// the stiff example with 100 steps where no explicit method stays bounded
// with 10^5; and Newton's failure is reported as such.
TEST(ImplicitMethods, KeepWhatTheyShouldAndSayWhenNewtonFails) {
  Calculation press{[] { return std::uint64_t{1} << 40; }};
  const std::shared_ptr<const Problem> oscillator = ReadProblem({"y2", "-y1", "0", "1", "0"}).value();
  auto energy = [&](Method method) {
    press.Calculate(PressTexts(*oscillator, "10000", "100000"), method, ".", *oscillator);
    const double y1 = press.tables().y1(100000), y2 = press.tables().y2(100000);
    return y1 * y1 + y2 * y2 - 1;
  };
  EXPECT_LT(std::fabs(energy(Method::ImplicitMidpoint)), 1e-12);
  EXPECT_GT(std::fabs(energy(Method::RK4)), 1e-4);

  const auto stiff = std::find_if(SystemExamples().begin(), SystemExamples().end(),
                                  [](const SystemExample& e) { return std::string(e.name).rfind("Stiff", 0) == 0; });
  ASSERT_NE(stiff, SystemExamples().end());
  const std::shared_ptr<const Problem> problem = ReadProblem(stiff->texts).value();
  press.Calculate(PressTexts(*problem, "1", "100"), Method::BackwardEuler, ".", *problem);
  EXPECT_NEAR(press.tables().y1(100), std::cos(1.0), 0.01 * std::cos(1.0));
  const double y2 = (std::cos(1.0) + std::sin(1.0)) / 2;
  EXPECT_NEAR(press.tables().y2(100), y2, 0.01 * y2);
  for (std::size_t m = 0; m < kWindowMethodCount; ++m) {
    EXPECT_THROW(press.Calculate(PressTexts(*problem, "1", "100000"), kMethods[m].method, ".", *problem), Failure)
        << kMethods[m].id;
  }

  // Backward Euler before the built-in system's pole behind.
  try {
    press.Calculate(PressTexts(*BuiltInProblem(), "-1.3", "77"), Method::BackwardEuler, ".");
    ADD_FAILURE() << "Newton converged";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.kind, FailureKind::NoConvergence);
    EXPECT_EQ(Describe(failure),
              "No convergence: Newton's method did not converge in step 73, which starts at x = "
              "-1.2155844155844149. Use more steps.");
  }
}

}  // namespace
}  // namespace kavrin
