#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include "core/failure.h"
#include "core/number_text.h"

namespace kavrin {
namespace {

struct Reading {
  const char* text;
  double value;
};

void PrintTo(const Reading& r, std::ostream* os) { *os << '"' << r.text << '"'; }

class ReadNumberTest : public ::testing::TestWithParam<Reading> {};

TEST_P(ReadNumberTest, ReadsLeniently) {
  const double value = ReadNumber(GetParam().text);
  EXPECT_EQ(value, GetParam().value) << '"' << GetParam().text << '"';
  EXPECT_EQ(std::signbit(value), std::signbit(GetParam().value)) << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(Rules, ReadNumberTest,
                         ::testing::Values(
                             // Plain numbers, signs and the decimal point.
                             Reading{"0", 0.0}, Reading{"1", 1.0}, Reading{"-1", -1.0}, Reading{"+2.5", 2.5},
                             Reading{"0.1", 0.1}, Reading{".5", 0.5}, Reading{"-.25", -0.25}, Reading{"7.", 7.0},
                             // Blanks, tabs and line feeds are ignored wherever they stand.
                             Reading{"1 000", 1000.0}, Reading{" \t- 1\n2 . 5 ", -12.5}, Reading{"1 e 3", 1000.0},
                             // Exponents: E or D, either case, optional sign; incomplete ones stop the number.
                             Reading{"1e3", 1000.0}, Reading{"1D3", 1000.0}, Reading{"2d-2", 0.02},
                             Reading{"1.5E+2", 150.0}, Reading{"3e", 3.0}, Reading{"3e+", 3.0}, Reading{"3ex", 3.0},
                             // Reading stops at the first character that cannot continue the number.
                             Reading{"12abc", 12.0}, Reading{"0.1.5", 0.1}, Reading{"0,5", 0.0}, Reading{"1,5", 1.0},
                             Reading{"10 apples", 10.0}, Reading{"--1", 0.0}, Reading{"1-2", 1.0},
                             // Texts that do not begin with a number read as 0.
                             Reading{"", 0.0}, Reading{"   ", 0.0}, Reading{"abc", 0.0}, Reading{"-", 0.0},
                             Reading{"+", 0.0}, Reading{".", 0.0}, Reading{"nan", 0.0}, Reading{"inf", 0.0},
                             Reading{"-inf", 0.0}, Reading{"0x10", 0.0}, Reading{"\xd9\xa3", 0.0},
                             Reading{"\xc2\xa0"
                                     "5",
                                     0.0},
                             // Hexadecimal and octal whole numbers.
                             Reading{"&H10", 16.0}, Reading{"&hff", 255.0}, Reading{"&HFFFFFFFF", 4294967295.0},
                             Reading{"&O17", 15.0}, Reading{"&o 7 7", 63.0}, Reading{"&H", 0.0}, Reading{"&", 0.0},
                             Reading{"&X12", 0.0}, Reading{"&HG", 0.0}, Reading{"&O8", 0.0}, Reading{"&H1F.8", 31.0},
                             Reading{"&O1777777777777777777777", 18446744073709551615.0},
                             // Rounding of long inputs is correct to the last bit.
                             Reading{"0.1000000000000000055511151231257827", 0.1},
                             Reading{"9007199254740993", 9007199254740992.0},
                             // Underflow reads as zero; the extremes of the range still read.
                             Reading{"1e-400", 0.0}, Reading{"-1e-400", -0.0}, Reading{"4.9e-324", 4.9e-324},
                             Reading{"1.7976931348623157e308", DBL_MAX}, Reading{"0.000001e-310", 1e-316},
                             Reading{"0e99999999999999999999", 0.0}, Reading{"1e-99999999999999999999", 0.0}));

TEST(ReadNumber, ThousandsOfDigits) {
  EXPECT_EQ(ReadNumber(std::string(300, '9') + "e-300"), 1.0);
  EXPECT_EQ(ReadNumber("0." + std::string(10000, '0') + "1e10001"), 1.0);
  EXPECT_THROW(ReadNumber(std::string(10000, '7')), Failure);
}

TEST(ReadNumber, NumbersBeyondTheRangeAreOverflows) {
  for (const std::string& text :
       std::vector<std::string>{"1e309", "-1e309", "1.8e308", "99999e99999999999999999", "&H1" + std::string(256, '0'),
                                "&O4" + std::string(342, '0')}) {
    try {
      ReadNumber(text, "x1");
      ADD_FAILURE() << text << " was read";
    } catch (const Failure& failure) {
      EXPECT_EQ(failure.kind, FailureKind::Overflow);
      EXPECT_NE(Describe(failure).find("x1"), std::string::npos) << Describe(failure).c_str();
    }
  }
  // The largest whole numbers that still fit.
  EXPECT_EQ(ReadNumber("&HFFFFFFFFFFFFF8" + std::string(242, '0')), DBL_MAX);
  EXPECT_EQ(ReadNumber("&O1" + std::string(341, '0')), 0x1p1023);
}

struct Shown {
  double value;
  const char* text;
};

void PrintTo(const Shown& s, std::ostream* os) { *os << s.text; }

class StepSizeTest : public ::testing::TestWithParam<Shown> {};

TEST_P(StepSizeTest, RoundsToSixDecimalsAndShowsTheShortestForm) {
  EXPECT_EQ(FormatStepSize(GetParam().value, "."), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Display, StepSizeTest,
                         ::testing::Values(Shown{0.1, "0.1"}, Shown{1.0 / 3, "0.333333"}, Shown{2.0 / 3, "0.666667"},
                                           Shown{0.05, "0.05"}, Shown{2, "2"}, Shown{-0.025, "-0.025"},
                                           Shown{1e-7, "0"}, Shown{-1e-7, "0"}, Shown{0.4, "0.4"}, Shown{-0.1, "-0.1"},
                                           Shown{1e-6, "0.000001"}, Shown{0.0000196, "0.00002"},
                                           Shown{123456789.123456789, "123456789.123457"}, Shown{100, "100"},
                                           // Ties on value * 10^6 go to the even neighbour.
                                           Shown{0.1234565, "0.123456"}, Shown{0.1234575, "0.123458"},
                                           Shown{2.5e-6, "0.000002"}, Shown{3.5e-6, "0.000004"}, Shown{5e-7, "0"},
                                           // At most 15 significant digits; exponent form from 10^15 up.
                                           Shown{999999999999.99, "999999999999.99"},
                                           Shown{123456789012345.6, "123456789012346"}, Shown{1e15, "1E+15"},
                                           Shown{-2.5e20, "-2.5E+20"},
                                           Shown{12345678901234567890.0, "1.23456789012346E+19"},
                                           Shown{1e300, "1E+300"}, Shown{DBL_MAX, "1.79769313486232E+308"}));

TEST(StepSize, UsesTheLocaleSeparator) {
  EXPECT_EQ(FormatStepSize(0.1, ","), "0,1");
  EXPECT_EQ(FormatStepSize(-1234.5, ","), "-1234,5");
  EXPECT_EQ(FormatStepSize(2.5e20, ","), "2,5E+20");
  EXPECT_EQ(FormatStepSize(7, ","), "7");
}

struct Fixed {
  double value;
  int decimals;
  const char* text;
};

void PrintTo(const Fixed& f, std::ostream* os) { *os << f.text; }

class FixedTextTest : public ::testing::TestWithParam<Fixed> {};

TEST_P(FixedTextTest, RoundsHalfAwayFromZeroOnTheExactValue) {
  EXPECT_EQ(FixedText(GetParam().value, GetParam().decimals, "."), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, FixedTextTest,
    ::testing::Values(Fixed{0.1, 4, "0.1000"}, Fixed{0.9, 8, "0.90000000"}, Fixed{-0.9, 8, "-0.90000000"},
                      Fixed{0, 4, "0.0000"}, Fixed{-0.0, 4, "0.0000"}, Fixed{5, 8, "5.00000000"},
                      Fixed{0x1.fffffffffffffp-1, 4, "1.0000"}, Fixed{9.99996, 4, "10.0000"},
                      Fixed{-99.999996, 4, "-100.0000"},
                      // Exact ties in binary: away from zero, unlike printf's ties to even.
                      Fixed{1.03125, 4, "1.0313"}, Fixed{-1.03125, 4, "-1.0313"}, Fixed{0.125, 2, "0.13"},
                      Fixed{1.000000005, 8, "1.00000000"}, Fixed{0x1.00000001p0, 8, "1.00000000"},
                      // The binary value of 0.00015 lies below the decimal tie.
                      Fixed{0.00015, 4, "0.0001"}, Fixed{0.00025, 4, "0.0003"},
                      // A negative value rounding to zero keeps its sign.
                      Fixed{-0.00001, 4, "-0.0000"},
                      // Every digit of the whole part, never an exponent.
                      Fixed{1e22, 4, "10000000000000000000000.0000"},
                      Fixed{-1e20, 8, "-100000000000000000000.00000000"}, Fixed{4.9e-324, 8, "0.00000000"}));

TEST(FixedText, HugeValuesShowAllTheirDigits) {
  const std::string text = FixedText(DBL_MAX, 8, ".");
  EXPECT_EQ(text.size(), 309u + 1 + 8);
  EXPECT_EQ(text.substr(0, 17), "17976931348623157");
  EXPECT_EQ(text.substr(309), ".00000000");
}

TEST(ResultLine, WorkedExampleAndSeparator) {
  EXPECT_EQ(ResultLine(0.1, 0.9, -0.9, "Euler Method", "."), "0.1000    0.90000000       -0.90000000   Euler Method");
  EXPECT_EQ(ResultLine(-0.5, 12.25, 3, "Runge-Kutta-4 Method", ","),
            "-0,5000    12,25000000       3,00000000   Runge-Kutta-4 Method");
}

}  // namespace
}  // namespace kavrin
