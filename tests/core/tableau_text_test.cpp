// Tableaux typed as textbooks print them: read into the coefficients a step
// performs, a node that is not its row's sum a warning, and every malformed
// text refused at its line and column.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/tableau_text.h"
#include "ode/method_table.h"

namespace kavrin {
namespace {

TEST(TableauText, ReadsKuttasRuleAndTheMethodsOwnTableaux) {
  const Outcome<TypedTableau> kutta = ReadTableau(
      "# Kutta's 3/8 rule\n"
      "0   |\n"
      "1/3 | 1/3\n"
      "2/3 | -1/3  1\n"
      "1   | 1    -1   1\n"
      "----+--------------------\n"
      "    | 1/8  3/8  3/8  1/8\n");
  ASSERT_TRUE(kutta.ok()) << Describe(kutta.failure());
  const Tableau& t = kutta.value().tableau;
  EXPECT_EQ(kutta.value().name, "Kutta's 3/8 rule");
  EXPECT_TRUE(kutta.value().warnings.empty());
  ASSERT_EQ(t.stages, 4u);
  EXPECT_EQ(t.a[2][0], -1.0 / 3);
  EXPECT_EQ(t.a[3][1], -1);
  EXPECT_EQ(t.b[1], 3.0 / 8);
  EXPECT_FALSE(t.embedded);
  // Its stability function is RK4's: every explicit four-stage method of order 4 has it.
  const std::vector<double> kutta_r = StabilityPolynomial(t);
  const std::vector<double> rk4_r = StabilityPolynomial(ButcherTableau(Method::RK4));
  ASSERT_EQ(kutta_r.size(), rk4_r.size());
  for (std::size_t k = 0; k < rk4_r.size(); ++k) EXPECT_NEAR(kutta_r[k], rk4_r[k], 4e-16) << k;

  // Gill's method with expressions, commas and an entry with blanks inside.
  const Outcome<TypedTableau> gill = ReadTableau(
      "0 |\n1/2 | 1/2\n1/2 | -1/2 + 1/sqrt(2), 1 - 1/sqrt(2)\n1 | 0  -1/sqrt(2)  1 + 1/sqrt(2)\n---\n"
      "| 1/6 (2 - sqrt(2))/6 (2 + sqrt(2))/6 1/6\n| 1/6 0 2/3 1/6\n");
  ASSERT_TRUE(gill.ok()) << Describe(gill.failure());
  const Tableau& g = gill.value().tableau;
  const Tableau& step = ButcherTableau(Method::RK4G);
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_NEAR(g.b[i], step.b[i], 1e-16) << i;
    for (std::size_t j = 0; j < i; ++j) EXPECT_NEAR(g.a[i][j], step.a[i][j], 1e-16) << i << j;
  }
  EXPECT_TRUE(g.embedded);
  EXPECT_EQ(g.second[2], 2.0 / 3);
}

TEST(TableauText, WarnsOfARowWhoseNodeIsNotItsSum) {
  const Outcome<TypedTableau> t = ReadTableau("0 |\n0.5 | 0.4\n---\n| 0 1\n");
  ASSERT_TRUE(t.ok());
  ASSERT_EQ(t.value().warnings.size(), 1u);
  EXPECT_EQ(t.value().warnings[0], "row 2 (line 2): c_2 = 0.5, but its entries sum to 0.4");
}

TEST(TableauText, RefusesAMalformedTableauAtItsLineAndColumn) {
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"0 |\n1 | z\n---\n| 1/2 1/2", "line 2: unknown name 'z' at column 5"},
      {"0 |\n1 | x\n---\n| 1/2 1/2", "line 2: a number is asked for here, not the variable 'x' at column 5"},
      {"0 |\n1 | 1 1 1\n---\n| 1/2 1/2", "line 2: row 2 has 3 entries, but the tableau has 2 stages"},
      {"0 |\n1 | 1\n", "line 3: the tableau has no weights: a line of dashes, then '|' and b_1 b_2 ..."},
      {"0 |\n| 1\n---\n| 1", "line 2: the node c_2 is missing before the bar"},
      {"0 |\n1  1\n---\n| 1", "line 2: no bar '|': a stage line is c_i | a_i1 a_i2 ..., a weights line | b_1 b_2 ..."},
      {"0 |\n---\n| 1\n| 1\n| 1", "line 5: a third weights line: a tableau has at most two"},
      {"0 |\n1 | 1/0\n---\n| 1 0", "line 2: '1/0' has no finite value"},
      {"", "the tableau has no stage lines: each is c_i, a bar '|', then a_i1 a_i2 ..."},
  };
  for (const auto& c : cases) {
    const Outcome<TypedTableau> t = ReadTableau(c.text);
    ASSERT_FALSE(t.ok()) << c.text;
    EXPECT_EQ(t.failure().where.field, Field::Tableau);
    EXPECT_EQ(t.failure().text, c.message) << c.text;
  }
  std::string seventeen;
  for (int i = 0; i < 17; ++i) seventeen += "0 |\n";
  EXPECT_EQ(ReadTableau(seventeen + "---\n| 1").failure().text, "line 17: more than 16 stages");
}

}  // namespace
}  // namespace kavrin
