#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "core/calculation.h"
#include "core/failure.h"
#include "platform/memory.h"

namespace kavrin {
namespace {

constexpr std::uint64_t kPlentyOfMemory = 1ull << 40;

InputTexts Texts(const std::string& x1, const std::string& N) { return {"0", "1", "-1", x1, N}; }

class CalculationTest : public ::testing::Test {
 protected:
  // A fixed memory probe keeps the runs independent of the machine.
  Calculation calc{[] { return kPlentyOfMemory; }};

  FailureKind FailureOf(const InputTexts& texts, Method method = Method::Euler) {
    try {
      calc.Calculate(texts, method, ".");
    } catch (const Failure& failure) {
      return failure.kind;
    }
    ADD_FAILURE() << "no failure for N = " << texts.N;
    return FailureKind::OutOfMemory;
  }
};

TEST_F(CalculationTest, WorkedExampleWithTheInitialInputs) {
  calc.Calculate(Texts("0.1", "1"), Method::Euler, ".");
  EXPECT_EQ(calc.step_text(), "0.1");
  EXPECT_EQ(calc.N(), 1.0);
  ASSERT_EQ(calc.lines().size(), 2u);
  EXPECT_EQ(calc.lines()[0], "0.1000    0.90000000       -0.90000000   Euler Method");
  EXPECT_EQ(calc.lines()[1], " ");
  // Indices 0 to 2; entry 2 stays empty and reads as 0.
  const SolutionTables& t = calc.tables();
  EXPECT_EQ(t.size(), 3u);
  EXPECT_EQ(t.filled(), 2u);
  EXPECT_EQ(t.x(0), 0.0);
  EXPECT_EQ(t.y1(0), 1.0);
  EXPECT_EQ(t.y2(0), -1.0);
  EXPECT_EQ(t.x(1), 0.1);
  EXPECT_EQ(t.y1(1), 0.9);
  EXPECT_EQ(t.y2(1), -0.9);
  EXPECT_EQ(t.y1(2), 0.0);
  EXPECT_THROW(t.x(3), Failure);
  EXPECT_THROW(t.x(-1), Failure);
  EXPECT_EQ(calc.x1(), 0.1);
}

TEST_F(CalculationTest, PressesAppendInOrderAndKeepEveryLine) {
  calc.Calculate(Texts("0.1", "1"), Method::Euler, ".");
  calc.Calculate(Texts("0.1", "1"), Method::RK4, ".");
  const std::vector<std::string> expected = {"0.1000    0.90000000       -0.90000000   Euler Method", " ",
                                             "0.1000    0.91393621       -0.90921764   Runge-Kutta-4 Method", " "};
  EXPECT_EQ(calc.lines(), expected);
}

TEST_F(CalculationTest, EveryMethodAppendsItsName) {
  for (const MethodInfo& info : kMethods) {
    calc.Calculate(Texts("1", "10"), info.method, ".");
    const std::string& line = calc.lines()[calc.lines().size() - 2];
    EXPECT_EQ(line.substr(line.size() - info.result_name.size()), info.result_name);
    EXPECT_EQ(line.substr(0, 6), "1.0000");
  }
}

TEST_F(CalculationTest, XAdvancesByRepeatedAddition) {
  calc.Calculate(Texts("1", "10"), Method::Euler, ".");
  EXPECT_EQ(calc.tables().x(10), 0x1.fffffffffffffp-1);  // ten additions of 0.1
  EXPECT_EQ(calc.lines()[0].substr(0, 6), "1.0000");
}

TEST_F(CalculationTest, StepSizeIsShownRoundedButUsedExactly) {
  calc.Calculate(Texts("1", "3"), Method::Euler, ".");
  EXPECT_EQ(calc.step_text(), "0.333333");
  EXPECT_EQ(calc.tables().x(1), 1.0 / 3);
}

TEST_F(CalculationTest, BackwardsAndZeroSteps) {
  calc.Calculate(Texts("-0.1", "1"), Method::Euler, ".");
  EXPECT_EQ(calc.step_text(), "-0.1");
  EXPECT_EQ(calc.lines()[0], "-0.1000    1.10000000       -1.10000000   Euler Method");
  calc.Calculate(Texts("", "4"), Method::RK4G, ".");  // empty x1 reads as 0: h = 0
  EXPECT_EQ(calc.step_text(), "0");
  EXPECT_EQ(calc.lines()[2], "0.0000    1.00000000       -1.00000000   Runge-Kutta-Gill Method");
}

TEST_F(CalculationTest, DecimalSeparatorOfTheLocale) {
  calc.Calculate(Texts("0.1", "1"), Method::Euler, ",");
  EXPECT_EQ(calc.step_text(), "0,1");
  EXPECT_EQ(calc.lines()[0], "0,1000    0,90000000       -0,90000000   Euler Method");
}

// Table sizes, filled counts and the entry the line shows for step counts
// that are not whole numbers: the line always shows the last step taken.
struct Fractional {
  const char* N;
  std::size_t size;
  std::size_t filled;
  const char* x_shown;
};

void PrintTo(const Fractional& f, std::ostream* os) { *os << "N = " << f.N; }

class FractionalStepsTest : public CalculationTest, public ::testing::WithParamInterface<Fractional> {};

TEST_P(FractionalStepsTest, SizesTablesAndShowsTheLastStep) {
  const Fractional& p = GetParam();
  calc.Calculate({"0", "1", "-1", "1", p.N}, Method::RK4, ".");
  EXPECT_EQ(calc.tables().size(), p.size);
  EXPECT_EQ(calc.tables().filled(), p.filled);
  ASSERT_EQ(calc.lines().size(), 2u);
  EXPECT_EQ(calc.lines()[0].substr(0, calc.lines()[0].find(' ')), p.x_shown);
}

INSTANTIATE_TEST_SUITE_P(NotWhole, FractionalStepsTest,
                         ::testing::Values(Fractional{"2.5", 5, 3, "0.8000"},   // h = 0.4, two steps
                                           Fractional{"2.7", 5, 3, "0.7407"},   // rounds up to 3: shows entry 2
                                           Fractional{"3.5", 5, 4, "0.8571"},   // rounds to 4: shows entry 3
                                           Fractional{"0.4", 2, 1, "0.0000"},   // no step
                                           Fractional{"0.6", 3, 1, "0.0000"},   // rounds to 1, no step
                                           Fractional{"-0.4", 2, 1, "0.0000"},  // h = -2.5, no step
                                           Fractional{"-0.5", 1, 1, "0.0000"}));

TEST_F(CalculationTest, NegativeStepCountsFailWithIndexOutOfRange) {
  calc.Calculate(Texts("0.1", "1"), Method::Euler, ".");
  // -1 and -1.5 size the tables but the line would need entry -1 or -2;
  // below -1.5 the tables cannot be sized at all.
  for (const char* n : {"-1", "-1.5", "-0.6", "-1.6", "-1000"}) {
    EXPECT_EQ(FailureOf(Texts("0.1", n)), FailureKind::IndexOutOfRange) << n;
    EXPECT_EQ(calc.lines().size(), 2u);
  }
}

TEST_F(CalculationTest, ZeroStepsIsDivisionByZeroAndChangesNothingElse) {
  calc.Calculate(Texts("0.1", "1"), Method::Euler, ".");
  for (const char* n : {"0", "", "abc", "0.0e5", "-0"}) {
    try {
      calc.Calculate(Texts("0.1", n), Method::RK4, ".");
      ADD_FAILURE() << "no failure for N = " << n;
    } catch (const Failure& failure) {
      EXPECT_EQ(failure.kind, FailureKind::DivisionByZero);
      EXPECT_NE(Describe(failure).find("number of steps N"), std::string::npos) << Describe(failure).c_str();
    }
    EXPECT_EQ(calc.N(), 0.0);
    EXPECT_EQ(calc.step_text(), "0.1");
    EXPECT_EQ(calc.lines().size(), 2u);
    EXPECT_EQ(calc.tables().filled(), 2u);
  }
}

TEST_F(CalculationTest, UnreadableNumbersAreOverflowsBeforeNIsStored) {
  calc.Calculate(Texts("0.1", "1"), Method::Euler, ".");
  EXPECT_EQ(FailureOf(Texts("1e309", "7")), FailureKind::Overflow);
  EXPECT_EQ(calc.N(), 1.0);  // x1 failed before N was read
  EXPECT_EQ(FailureOf(Texts("0.1", "-1e309")), FailureKind::Overflow);
  EXPECT_EQ(calc.N(), 1.0);
  EXPECT_EQ(FailureOf({"-1e308", "1", "-1", "1e308", "1"}), FailureKind::Overflow);  // x1 - x0
  EXPECT_EQ(FailureOf(Texts("1e300", "1e-300")), FailureKind::Overflow);             // h itself
  EXPECT_EQ(calc.N(), 1e-300);
  EXPECT_EQ(calc.lines().size(), 2u);
}

TEST_F(CalculationTest, StepCountsBeyondTheIndexRangeAreOverflows) {
  EXPECT_EQ(FailureOf(Texts("1", "3e9")), FailureKind::Overflow);
  EXPECT_EQ(calc.step_text(), "0");                                         // shown before the march failed
  EXPECT_EQ(FailureOf(Texts("1", "2147483646.5")), FailureKind::Overflow);  // N + 1 rounds to 2^31
  EXPECT_EQ(FailureOf(Texts("1", "-3e9")), FailureKind::Overflow);
  EXPECT_EQ(FailureOf(Texts("1", "1e12")), FailureKind::Overflow);
  EXPECT_TRUE(calc.lines().empty());
}

TEST_F(CalculationTest, TablesTheMachineCannotProvideAreOutOfMemoryBeforeAllocating) {
  Calculation small([] { return std::uint64_t{100} << 20; });  // 100 MB available
  small.Calculate(Texts("1", "1000"), Method::Euler, ".");
  // 10^7 steps need 240 MB: refused before anything is allocated, and the
  // previous tables and lines stay.
  try {
    small.Calculate(Texts("1", "1e7"), Method::RK4, ".");
    ADD_FAILURE() << "no failure";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.kind, FailureKind::OutOfMemory);
    EXPECT_NE(Describe(failure).find("240 MB"), std::string::npos) << Describe(failure).c_str();
  }
  EXPECT_EQ(small.tables().size(), 1002u);
  EXPECT_EQ(small.tables().filled(), 1001u);
  EXPECT_EQ(small.lines().size(), 2u);
  EXPECT_EQ(small.step_text(), "0");
  // The step count the report suggests succeeds, with the old tables still held.
  try {
    small.Calculate(Texts("1", "1e7"), Method::RK4, ".");
    ADD_FAILURE() << "no failure";
  } catch (const Failure& failure) {
    const std::string what = Describe(failure).c_str();
    const std::size_t at = what.find("Enter at most ");
    ASSERT_NE(at, std::string::npos) << what;
    const std::string suggested = what.substr(at + 14, what.find(' ', at + 14) - at - 14);
    EXPECT_NO_THROW(small.Calculate(Texts("1", suggested), Method::RK4, ".")) << suggested;
  }
  // Two billion steps (48 GB) on the real probe of this machine are refused too.
  if (AvailableMemory() > (std::uint64_t{40} << 30)) GTEST_SKIP() << "this machine could hold them";
  Calculation real;
  try {
    real.Calculate(Texts("1", "2147483000"), Method::Euler, ".");
    ADD_FAILURE() << "no failure";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.kind, FailureKind::OutOfMemory);
  }
}

TEST_F(CalculationTest, OverflowInTheMarchKeepsTheCompletedSteps) {
  calc.Calculate(Texts("0.1", "1"), Method::Euler, ".");
  // The explicit methods; the implicit ones take such steps (see the implicit test).
  for (std::size_t m = 0; m < kWindowMethodCount; ++m) {
    const MethodInfo& info = kMethods[m];
    try {
      calc.Calculate(Texts("10000", "10"), info.method, ".");
      ADD_FAILURE() << info.result_name << " did not overflow";
      continue;
    } catch (const Failure& failure) {
      EXPECT_EQ(failure.kind, FailureKind::Overflow);
      EXPECT_NE(Describe(failure).find("step "), std::string::npos) << Describe(failure).c_str();
    }
    const SolutionTables& t = calc.tables();
    EXPECT_EQ(t.size(), 12u);
    ASSERT_GE(t.filled(), 1u);
    ASSERT_LE(t.filled(), 10u);
    const std::int64_t failing_start = static_cast<std::int64_t>(t.filled()) - 1;
    for (std::int64_t i = 0; i <= failing_start; ++i) {
      EXPECT_TRUE(std::isfinite(t.y1(i)) && std::isfinite(t.y2(i)));
      EXPECT_EQ(t.x(i), i == 0 ? 0.0 : t.x(i - 1) + 1000);
    }
    EXPECT_EQ(t.y1(failing_start + 1), 0.0);  // empty
    EXPECT_EQ(calc.lines().size(), 2u);
  }
}

// A run whose steps jump the pole ends in finite numbers that approximate
// nothing: the line as ever, and a warning beside it.
TEST_F(CalculationTest, ValuesPastThePoleCarryAWarning) {
  calc.Calculate(Texts("3", "10"), Method::RKF, ".");
  EXPECT_NE(calc.warning().find("not a solution"), std::string::npos) << calc.warning();
  EXPECT_NE(calc.warning().find("2.7306"), std::string::npos) << calc.warning();
  calc.Calculate(Texts("2.7", "10"), Method::RKF, ".");
  EXPECT_EQ(calc.warning(), "");
}

TEST_F(CalculationTest, FailedMarchStillShowsTheNewStepSize) {
  EXPECT_EQ(FailureOf(Texts("1000", "10"), Method::RK4), FailureKind::Overflow);
  EXPECT_EQ(calc.step_text(), "100");
  EXPECT_EQ(calc.N(), 10.0);
  EXPECT_TRUE(calc.lines().empty());
}

// Fresh tables of many steps are faulted in by a second thread during the
// march; a march that overflows with it running ends in the state and report
// of one without it (the second calculation reuses its tables: no thread).
TEST(PageToucher, AFailedMarchEndsAsItWouldWithoutIt) {
  const InputTexts failing{"0", "1", "-1", "5e6", "2100000"};
  Calculation fresh{[] { return std::uint64_t{1} << 40; }};
  Calculation reused{[] { return std::uint64_t{1} << 40; }};
  reused.Calculate({"0", "1", "-1", "1", "2100000"}, Method::RK4, ".");
  std::string reports[2];
  Calculation* calcs[2] = {&fresh, &reused};
  for (int k = 0; k < 2; ++k) {
    try {
      calcs[k]->Calculate(failing, Method::RK4, ".");
      ADD_FAILURE() << "no failure";
    } catch (const Failure& failure) {
      reports[k] = Describe(failure).c_str();
    }
  }
  EXPECT_EQ(reports[0], reports[1]);
  EXPECT_NE(reports[0].find("in step "), std::string::npos) << reports[0];
  ASSERT_EQ(fresh.tables().filled(), reused.tables().filled());
  for (std::size_t i = 0; i < fresh.tables().filled(); ++i) {
    const auto e = static_cast<std::int64_t>(i);
    EXPECT_EQ(fresh.tables().y1(e), reused.tables().y1(e));
    EXPECT_EQ(fresh.tables().y2(e), reused.tables().y2(e));
  }
  // And a march that succeeds with it ends as one without it.
  Calculation other{[] { return std::uint64_t{1} << 40; }};
  other.Calculate({"0", "1", "-1", "1", "2100000"}, Method::RK4, ".");
  reused.Calculate({"0", "1", "-1", "1", "2100000"}, Method::RK4, ".");
  EXPECT_EQ(other.lines().back(), reused.lines().back());
  EXPECT_EQ(other.lines()[other.lines().size() - 2], reused.lines()[reused.lines().size() - 2]);
  EXPECT_EQ(other.tables().y2(2100000), reused.tables().y2(2100000));
}

// Every report starts with its kind, names the input in the user's terms, says
// what a text was read as when that is not what it shows, and what to change.
struct Report {
  const char* name;
  std::string x1, N;
  std::uint64_t memory;
  FailureKind kind;
  std::vector<std::string> phrases;
};

void PrintTo(const Report& r, std::ostream* os) { *os << r.name; }

class ReportTest : public ::testing::TestWithParam<Report> {};

TEST_P(ReportTest, NamesTheKindTheInputAndTheRemedy) {
  const Report& r = GetParam();
  Calculation calc{[&r] { return r.memory; }};
  try {
    calc.Calculate(Texts(r.x1, r.N), Method::Euler, ".");
    FAIL() << "no failure";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.kind, r.kind);
    const std::string what = Describe(failure).c_str();
    EXPECT_EQ(what.rfind(std::string(FailureName(r.kind)) + ": ", 0), 0u) << what;
    for (const std::string& phrase : r.phrases) EXPECT_NE(what.find(phrase), std::string::npos) << what;
  }
}

INSTANTIATE_TEST_SUITE_P(
    EveryKind, ReportTest,
    ::testing::Values(Report{"ZeroSteps",
                             "0.1",
                             "0",
                             kPlentyOfMemory,
                             FailureKind::DivisionByZero,
                             {"number of steps N is 0", "Enter a number of steps of 1 or more"}},
                      Report{"TextReadAsZero",
                             "0.1",
                             "abc",
                             kPlentyOfMemory,
                             FailureKind::DivisionByZero,
                             {"number of steps N \"abc\" reads as 0"}},
                      // A quoted text is cut before the two bytes of the e-acute, not between them.
                      Report{"LongTextCutAtACharacter",
                             "0.1",
                             std::string(39, 'a') + "\xC3\xA9zzz",
                             kPlentyOfMemory,
                             FailureKind::DivisionByZero,
                             {'"' + std::string(39, 'a') + "...\""}},
                      Report{"NegativeSteps",
                             "0.1",
                             "-1",
                             kPlentyOfMemory,
                             FailureKind::IndexOutOfRange,
                             {"number of steps N = -1 is negative", "1 or more"}},
                      Report{"NegativeStepsTyped",
                             "0.1",
                             "-2x",
                             kPlentyOfMemory,
                             FailureKind::IndexOutOfRange,
                             {"N \"-2x\" (read as -2)"}},
                      Report{"TooManySteps",
                             "1",
                             "1e10",
                             kPlentyOfMemory,
                             FailureKind::Overflow,
                             {"number of steps N = 10000000000 is too large", "smaller number of steps"}},
                      Report{"TargetBeyondDoubles",
                             "1e999",
                             "1",
                             kPlentyOfMemory,
                             FailureKind::Overflow,
                             {"target point x1 \"1e999\"", "smaller number"}},
                      // Past the solution's pole, forward or backward, more steps never help.
                      Report{"SolutionBlowsUpAhead",
                             "1000",
                             "10",
                             kPlentyOfMemory,
                             FailureKind::Overflow,
                             {"in step 9, which starts at x = 800",
                              "grows without bound near x \xE2\x89\x88 2.7306: enter a target point x1 before it."}},
                      Report{"SolutionBlowsUpBehind",
                             "-1000",
                             "10",
                             kPlentyOfMemory,
                             FailureKind::Overflow,
                             {"grows without bound near x \xE2\x89\x88 -1.3589: enter a target point x1 before it."}},
                      Report{"NotEnoughMemory",
                             "1",
                             "1e7",
                             std::uint64_t{100} << 20,
                             FailureKind::OutOfMemory,
                             {"number of steps N = 10000000 needs 240 MB", "Enter at most 1415574 steps"}}),
    [](const ::testing::TestParamInfo<Report>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kavrin
