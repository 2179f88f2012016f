// The comparison of methods along the way: paths as a press computes them,
// the reference along x, the invariant's drift where it is known in closed
// form, and the refusals.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/comparison.h"
#include "core/session.h"

namespace kavrin {
namespace {

std::shared_ptr<const Problem> Oscillator() {
  const Outcome<std::shared_ptr<const Problem>> problem = ReadProblem({"y2", "-y1", "0", "1", "0"});
  EXPECT_TRUE(problem.ok());
  return problem.value();
}

Comparison Compared(std::shared_ptr<const Problem> problem, const ComparisonTexts& texts) {
  const Outcome<ComparisonRequest> request = ReadComparisonRequest(std::move(problem), texts);
  EXPECT_TRUE(request.ok()) << (request.ok() ? "" : Describe(request.failure()));
  Outcome<Comparison> comparison = RunComparison(request.value());
  EXPECT_TRUE(comparison.ok()) << (comparison.ok() ? "" : Describe(comparison.failure()));
  return std::move(comparison.value());
}

// Under Euler each step multiplies y1^2 + y2^2 by 1 + h^2; under RK4 by
// |R(ih)|^2, R(z) = 1 + z + z^2/2 + z^3/6 + z^4/24. The reference is
// (cos x, -sin x).
TEST(Comparison, OscillatorDriftsByTheStabilityFunctionAndItsReferenceIsCosine) {
  const Comparison c = Compared(Oscillator(), {"10", "100", "euler,rk4", "", "y1^2 + y2^2", ""});
  ASSERT_TRUE(c.has_reference()) << c.no_reference;
  const double h = c.h;
  const double euler = 1 + h * h;
  const double re = 1 - h * h / 2 + h * h * h * h / 24;
  const double im = h - h * h * h / 6;
  const double rk4 = re * re + im * im;
  for (std::size_t i = 0; i <= 100; ++i) {
    const double x = c.paths[0].tables.x(static_cast<std::int64_t>(i));
    EXPECT_NEAR(c.reference.y1[i], std::cos(x), 4e-16) << i;
    EXPECT_NEAR(c.reference.y2[i], -std::sin(x), 4e-16) << i;
    const double di = static_cast<double>(i);
    EXPECT_NEAR(c.Drift(c.paths[0], i), std::pow(euler, di) - 1, 1e-13 * std::pow(euler, di)) << i;
    EXPECT_NEAR(c.Drift(c.paths[1], i), std::pow(rk4, di) - 1, 1e-14) << i;
    EXPECT_GE(c.Error(c.paths[0], i), c.Error(c.paths[1], i)) << i;
  }
}

// Each path is the press's table, bit for bit, for every method; a path that
// overflows ends where the press fails, and past the pole there is no reference.
TEST(Comparison, PathsAreThePressTablesAndStopWhereThePressFails) {
  for (const char* x1 : {"2", "3"}) {
    const Comparison c = Compared(BuiltInProblem(), {x1, "40", AllMethodIds(), "", "", ""});
    ASSERT_EQ(c.paths.size(), kWindowMethodCount);
    EXPECT_EQ(c.has_reference(), std::string(x1) == "2") << c.no_reference;
    for (const ComparedPath& path : c.paths) {
      Session session;
      PressRequest press;
      press.x1 = x1;
      press.N = "40";
      press.method = path.method;
      const PressResult result = session.Press(press);
      const SolutionTables& table = session.calculation().tables();
      EXPECT_EQ(result.failure.has_value(), !path.failure.empty()) << x1 << Info(path.method).id;
      const std::size_t rows = result.failure ? table.filled() : 41;
      ASSERT_EQ(path.tables.filled(), rows) << x1 << Info(path.method).id;
      for (std::size_t i = 0; i < rows; ++i) {
        const auto k = static_cast<std::int64_t>(i);
        ASSERT_EQ(path.tables.x(k), table.x(k));
        ASSERT_EQ(path.tables.y1(k), table.y1(k)) << Info(path.method).id << " " << i;
        ASSERT_EQ(path.tables.y2(k), table.y2(k)) << Info(path.method).id << " " << i;
      }
    }
  }
}

TEST(Comparison, RefusesWhatItCannotDoAndNamesTheField) {
  const auto failure = [](const ComparisonTexts& texts) {
    return ReadComparisonRequest(BuiltInProblem(), texts).failure();
  };
  const Failure invariant = failure({"1", "20", "rk4", "", "y1 + * y2", ""});
  EXPECT_EQ(invariant.where.field, Field::Invariant);
  EXPECT_EQ(invariant.where.column, 4);
  EXPECT_EQ(failure({"1", "10,20", "rk4", "", "", ""}).where.field, Field::Steps);
  for (const char* field_x : {"1e999", "abc", "0,5"})
    EXPECT_EQ(failure({"1", "20", "rk4", field_x, "", ""}).where.field, Field::FieldX) << field_x;

  const ComparisonRequest request =
      ReadComparisonRequest(BuiltInProblem(), {"1", "1000000", AllMethodIds(), "", "", ""}).value();
  const Outcome<Comparison> refused = RunComparison(request, {}, [] { return std::uint64_t{100} << 20; });
  ASSERT_FALSE(refused.ok());
  EXPECT_EQ(refused.failure().kind, FailureKind::OutOfMemory);
  // The largest N it names fits.
  const std::string advice = refused.failure().advice;
  const std::uint64_t most = std::stoull(advice.substr(advice.find("at most ") + 8));
  EXPECT_LE((most + 1) * ComparisonBytesPerStep(kWindowMethodCount), std::uint64_t{36} << 20);
  EXPECT_GT((most + 2) * ComparisonBytesPerStep(kWindowMethodCount), std::uint64_t{36} << 20);
}

TEST(Comparison, CsvHasARowPerStepOfEveryPathAndLeavesUnknownsEmpty) {
  const Comparison c = Compared(BuiltInProblem(), {"3", "10", "euler,rk4", "", "y1 - log(y2)", ""});
  std::string csv;
  ASSERT_TRUE(WriteComparisonCsv(c, [&csv](std::string_view block) {
    csv.append(block);
    return true;
  }));
  EXPECT_EQ(csv.substr(0, csv.find('\n')), "method,i,x,y1,y2,ref_y1,ref_y2,error,invariant,drift");
  const auto rows = static_cast<std::size_t>(std::count(csv.begin(), csv.end(), '\n')) - 1;
  EXPECT_EQ(rows, c.paths[0].tables.filled() + c.paths[1].tables.filled());
  // Past the pole there is no reference; log(y2) of y2 < 0 has no value.
  EXPECT_NE(csv.find("\neuler,0,0,1,-1,,,,,\n"), std::string::npos) << csv.substr(0, 200);
}

}  // namespace
}  // namespace kavrin
