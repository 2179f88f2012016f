// Own equations: the built-in system typed as text marches bit for bit as
// the compiled one; wrong texts are reported at their place; no text can
// exhaust the stack; the Taylor reference by automatic differentiation
// meets closed forms; the study finds each method's order.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <string_view>

#include "core/calculation.h"
#include "core/equation.h"
#include "core/problem.h"
#include "core/reference.h"
#include "core/study.h"
#include "core/study_report.h"

namespace kavrin {
namespace {

using namespace std::string_view_literals;

std::shared_ptr<const Problem> Own(const std::string& f1, const std::string& f2, const std::string& y10,
                                   const std::string& y20, const std::string& x0 = "0") {
  const Outcome<std::shared_ptr<const Problem>> read = ReadProblem({f1, f2, x0, y10, y20});
  EXPECT_TRUE(read.ok()) << f1 << " | " << f2 << ": " << (read.ok() ? "" : Describe(read.failure()));
  return read.ok() ? read.value() : nullptr;
}

// The report of a system that does not read, or an empty text.
std::string ReportOf(const SystemTexts& texts) {
  const Outcome<std::shared_ptr<const OwnSystem>> read = ReadSystem(texts);
  return read.ok() ? std::string() : Describe(read.failure());
}

TEST(OwnSystem, TheBuiltInSystemTypedMarchesBitForBit) {
  // Spaced otherwise than the built-in texts, so that it is read as an own system.
  const auto typed = Own("y1*y2+x", "x*y2+y1", "1", "-1");
  ASSERT_TRUE(typed && !typed->built_in());
  Calculation builtin{[] { return std::uint64_t{1} << 40; }};
  Calculation own{[] { return std::uint64_t{1} << 40; }};
  for (const MethodInfo& info : kMethods) {
    for (const std::pair<const char*, const char*>& run :
         {std::pair{"1", "10"}, std::pair{"2", "200"}, std::pair{"-1.3", "77"}}) {
      const char* const x1 = run.first;
      const char* const N = run.second;
      // Backward Euler fails before the pole behind, the same way in both.
      const auto failure = [&](Calculation& calculation, const Problem& problem) {
        try {
          calculation.Calculate(PressTexts(problem, x1, N), info.method, ".", problem);
          return std::string();
        } catch (const Failure& f) {
          return Describe(f);
        }
      };
      const std::string builtin_failure = failure(builtin, *BuiltInProblem());
      EXPECT_EQ(failure(own, *typed), builtin_failure) << info.id << " " << x1;
      if (!builtin_failure.empty()) continue;
      const auto last = static_cast<std::int64_t>(std::stod(N));
      EXPECT_EQ(own.tables().y1(last), builtin.tables().y1(last)) << info.id << " " << x1;
      EXPECT_EQ(own.tables().y2(last), builtin.tables().y2(last)) << info.id << " " << x1;
      EXPECT_EQ(own.lines().back(), builtin.lines().back());
    }
  }
}

struct WrongText {
  std::string_view f1;
  const char* report;
};

TEST(OwnSystem, WrongTextsAreReportedAtTheirPlace) {
  const WrongText cases[] = {
      {"y1*y2 + z", "f1: unknown name 'z' at column 9"},
      {"sin(x", "f1: missing ')' at the end"},
      {"y1^", "f1: '^' needs a number or an expression after it (column 3)"},
      {"y1 +* 2", "f1: '+' needs a number or an expression after it (column 4)"},
      {"", "f1: the equation is empty"},
      {"2 x", "f1: missing an operator before 'x' at column 3"},
      {"(x))", "f1: unexpected ')' at column 4"},
      {"sqrt x", "f1: 'sqrt' at column 1 needs '(' and an argument after it"},
      {"log()", "f1: 'log' at column 1 needs an argument"},
      {"1e999 * x", "f1: '1e999' at column 1 is too large"},
      {"x # 2", "f1: missing an operator before '#' at column 3"},
      {"\xC3\xA9 + x", "f1: unexpected '\xC3\xA9' at column 1"},
      {"x + \xC3\xA9z", "f1: unexpected '\xC3\xA9' at column 5"},
      {"y2\0+1000*y1"sv, "f1: a control character (U+0000) at column 3"},
      {"y2 +\x1b[2J", "f1: a control character (U+001B) at column 5"},
  };
  for (const WrongText& c : cases) EXPECT_EQ(ReportOf({std::string(c.f1), "y1", "0", "1", "0"}), c.report) << c.f1;
  // Each failure names its equation and column for the face to point at.
  const Outcome<std::shared_ptr<const OwnSystem>> wrong = ReadSystem({"y1", "y1*y2 + z", "0", "1", "0"});
  ASSERT_FALSE(wrong.ok());
  EXPECT_EQ(wrong.failure().where.field, Field::F2);
  EXPECT_EQ(wrong.failure().where.column, 9);
  EXPECT_EQ(ReportOf({"y2", "y1", "0,5", "1", "0"}),
            "the start x0 \"0,5\" is not a plain number: it reads as 0. Enter digits with \".\" as the decimal "
            "point, and an exponent if need be: 0.5, -2, 1e-3.");
  EXPECT_EQ(ReportOf({"y2", "y1", "0", "1e999", "0"}),
            "the initial value y1(0) \"1e999\" is too large to compute with: numbers must lie between -1.8E+308 "
            "and 1.8E+308. Enter a smaller number.");
}

// No text can exhaust the stack or take long: the length and the nesting
// are bounded, and deeper texts are reported, not followed.
TEST(OwnSystem, LengthAndNestingAreBounded) {
  EXPECT_EQ(ReportOf({std::string(999, ' ') + "x", "y1", "0", "0", "0"}), "");
  EXPECT_NE(ReportOf({std::string(1001, 'x'), "y1", "0", "0", "0"}).find("longer than 1000"), std::string::npos);
  const std::string deep = std::string(100, '(') + "x" + std::string(100, ')');
  EXPECT_EQ(ReportOf({deep, "y1", "0", "0", "0"}), "");
  for (const std::string& deeper : {std::string(101, '(') + "x" + std::string(101, ')'), std::string(999, '-') + "x",
                                    std::string(500, '(') + std::string(499, ')')}) {
    EXPECT_NE(ReportOf({deeper, "y1", "0", "0", "0"}).find("deeper than 100"), std::string::npos);
  }
}

// A function outside its domain is a failure of its own kind, naming it.
TEST(OwnSystem, ADomainFailureNamesTheFunctionTheStepAndX) {
  const auto own = Own("sqrt(1 - x)", "0", "0", "0");
  Calculation calc{[] { return std::uint64_t{1} << 40; }};
  const std::optional<Failure> failure =
      Caught([&] { calc.Calculate(PressTexts(*own, "3", "6"), Method::Euler, ".", *own); });
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->kind, FailureKind::Domain);
  EXPECT_EQ(failure->where.step, 4);
  EXPECT_EQ(failure->where.x, 1.5);
  EXPECT_EQ(Describe(*failure),
            "Domain error: the equations meet sqrt of -0.5, outside its domain (f1, column 1) in step 4, which "
            "starts at x = 1.5. Enter a target point x1 before that, or another start.");
  // At the start itself, the advice is about the start.
  const auto at_start = Own("log(x)", "0", "1", "-1");
  const std::optional<Failure> there =
      Caught([&] { calc.Calculate(PressTexts(*at_start, "1", "2"), Method::Euler, ".", *at_start); });
  ASSERT_TRUE(there);
  EXPECT_EQ(Describe(*there),
            "Domain error: the equations meet log of 0, outside its domain (f1, column 1) at the start itself, "
            "x0 = 0, y1(0) = 1, y2(0) = -1. Enter another start x0, y1(0), y2(0), one where the equations are "
            "defined.");
}

// The reference of a typed system by automatic differentiation against
// closed forms: cos and sin, exp, and 1/(1 - x) with its pole at 1.
TEST(OwnSystem, TheTaylorReferenceMeetsClosedForms) {
  struct Closed {
    const char* f1;
    const char* f2;
    const char* y10;
    const char* y20;
    double x1;
    long double y1, y2;
  };
  const Closed cases[] = {
      {"y2", "-y1", "1", "0", 2, std::cos(2.0L), -std::sin(2.0L)},
      {"y1", "y2^2", "1", "0", 3, std::exp(3.0L), 0},
      {"y1^2", "-y2", "1", "1", 0.9, 1 / (1 - static_cast<long double>(0.9)), std::exp(-static_cast<long double>(0.9))},

      {"y1^2", "cos(x) * abs(y2 - 0.5)", "1", "0", 0.5, 2, 0.5L * (1 - std::exp(-std::sin(0.5L)))},
      // A kink at x = 0.3, where the series starts anew.
      {"y1", "abs(x - 0.3)", "1", "0", 1, std::exp(1.0L), 0.29L},
  };
  for (const Closed& c : cases) {
    const auto own = Own(c.f1, c.f2, c.y10, c.y20);
    const Reference r = TypedReference(*own->own, c.x1);
    ASSERT_TRUE(r.valid()) << c.f1;
    EXPECT_LE(std::fabs(r.y1 - c.y1), 1e-17L * std::max(1.0L, std::fabs(c.y1))) << c.f1;
    EXPECT_LE(std::fabs(r.y2 - c.y2), 1e-17L * std::max(1.0L, std::fabs(c.y2))) << c.f2;

    EXPECT_LE(r.error_bound, 1e-15 * std::max(1.0, static_cast<double>(std::fabs(c.y1)))) << c.f1;
  }
  // Past the pole there is none, and the report says where it stopped.
  const auto pole = Own("y1^2", "0", "1", "0");
  const Reference past = TypedReference(*pole->own, 2);
  EXPECT_FALSE(past.valid());
  EXPECT_NEAR(past.reached, 1, 1e-6);
}

// The study of a harmonic oscillator finds every method's order.
TEST(OwnSystem, TheStudyOfAnOscillatorFindsEveryOrder) {
  StudyRequest request;
  request.problem = Own("y2", "-y1", "1", "0");
  request.x1 = 1;
  request.steps = {20, 40, 80};
  for (const MethodInfo& info : kMethods) request.methods.push_back(info.method);
  const Study study = RunStudy(request);
  ASSERT_TRUE(study.reference.valid());
  for (const StudyRun& run : study.runs) {
    if (run.N == 20) continue;
    ASSERT_TRUE(run.order) << Info(run.method).id << " " << run.N;
    EXPECT_NEAR(*run.order, Info(run.method).order, 0.15) << Info(run.method).id << " " << run.N;
  }
}

// A short equation whose series needs ever smaller steps: the reference gives
// up within its budget, the progress moving as it works, and the study marks
// its runs and says why.
TEST(OwnSystem, AReferenceThatWouldTakeTooLongStopsWithinItsBudget) {
  StudyRequest request;
  std::string stiff = "-1e20*y1";
  for (int i = 0; i < 150; ++i) stiff += "+0*y1";
  request.problem = Own("y2", stiff, "1", "-1");
  request.x1 = 1;
  request.steps = {10};
  request.methods = {Method::Euler};
  std::vector<std::size_t> told;
  StudyProgress progress;
  progress.tell = [&told](std::size_t done, std::size_t) { told.push_back(done); };
  const Study study = RunStudy(request, progress);
  EXPECT_EQ(study.reference.stop, Reference::Stop::OverBudget);
  EXPECT_EQ(study.runs[0].mark, Mark::NoReference);
  EXPECT_GE(told.size(), 5u);
  EXPECT_NE(NoReferenceText(study).find("would take too long"), std::string::npos) << NoReferenceText(study);
}

}  // namespace
}  // namespace kavrin
