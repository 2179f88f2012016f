#pragma once

#include <string>
#include <string_view>

#include "core/failure.h"

// Number text, the one place where numbers become text and text numbers:
// the conversions in the forms of std::to_chars and std::from_chars (through
// snprintf and strtod where the C++ library lacks them), the lenient reader
// of typed texts, the shortest round-trip text, and the fixed patterns of the
// result line. Only the window's lines and step size take the locale's
// decimal separator, which their callers pass; everything else uses ".".
namespace kavrin {

// Number text in the forms of std::to_chars and std::from_chars for double,
// in the "C" locale. Where the C++ library lacks them (Emscripten's), or with
// KAVRIN_PORTABLE_CHARCONV, the same results come from snprintf and strtod.
enum class CharsStyle {
  Shortest,    // the shorter of Fixed and Scientific, Fixed on a tie
  Fixed,       // no exponent
  Scientific,  // d.ddde+xx
  General,     // Fixed for decimal exponents -4 to 5, else Scientific (printf's %g)
};

// The shortest text that reads back as `value`, in `style`; returns its end.
// [first, last) must hold the whole text (32 characters, or 330 for Fixed).
char* ToChars(char* first, char* last, double value, CharsStyle style);
// `precision` digits after the point, correctly rounded (Fixed or
// Scientific); or `precision` significant digits without trailing zeros
// (General, as printf's %g).
char* ToChars(char* first, char* last, double value, CharsStyle style, int precision);

// Reads a decimal number ([-]digits[.digits][e[+-]digits]) or, with `hex`,
// hexadecimal digits. `out_of_range` is set, and `value` left as it was, when
// the number rounds to infinity or to zero from a non-zero value.
struct CharsRead {
  const char* end;
  bool out_of_range;
};
CharsRead FromChars(const char* first, const char* last, double& value, bool hex = false);

// The same through snprintf and strtod, whatever the build uses; for tests.
namespace portable {
char* ToChars(char* first, char* last, double value, CharsStyle style);
char* ToChars(char* first, char* last, double value, CharsStyle style, int precision);
CharsRead FromChars(const char* first, const char* last, double& value, bool hex);
}  // namespace portable

// Reads a whole text as a plain decimal number ("2", "0.5", ".5", "1e-3"),
// correctly rounded to double and to long double; false when the text is
// not one such number. "." is the decimal point whatever the locale.
bool ReadPlainNumber(std::string_view text, double& value, long double& wide);

// What `value`, the double nearest a plain decimal number's text, leaves of
// it, rounded to double: with it the number is known to about 106 bits, the
// same on every machine (computed in double-double). 0 far from 1 in size.
double DecimalRemainder(std::string_view text, double value);

// The shortest decimal text that reads back as `value`, for files and the

// study ("0.1", "-2.5e-07").
std::string RoundTripText(double value);

// A tolerance in the shortest exponent form, the exponent without leading
// zeros or plus sign: "1e-3", "2.5e-7".
std::string ToleranceText(double value);

// A whole number without exponent ("1000000"), any other number in its
// shortest round-trip form.
std::string WholeText(double value);

// The round-trip text in plain decimals where they are short enough to read
// (magnitudes from 10^-6 to below 10^15), else in exponent form ("0.1",
// "1e-07"); for values named in reports.
std::string PlainRoundTripText(double value);

// The fewest significant digits, 5 at the least, that show `value` on the
// same side of `other` as it lies (and apart from it when they differ), as
// SignificantText: for a point named beside another, "x ≈ 2.73059373251,
// before x1 = 2.7305937326".
std::string TextApartFrom(double value, double other);

// Reads a number leniently and never rejects a text: blanks, tabs and line
// feeds are ignored wherever they stand; an optional sign, digits with at most
// one ".", an optional exponent (E or D, either case, optional sign, digits);
// reading stops at the first character that cannot continue the number, and a
// text that does not begin with one reads as 0. "&H" and "&O" read the
// following hexadecimal or octal digits as a whole number. The decimal point
// is always ".". A number beyond the double range throws an overflow Failure
// naming the input in words (`noun`: "the target point x1") and as `field`;
// one too small for it reads as zero.
double ReadNumber(std::string_view text, std::string_view noun = "the input", Field field = Field::None);

// A typed text in double quotes for a report: at most 40 bytes of it, cut at
// a character boundary and followed by "..." when cut.
std::string QuotedInput(std::string_view text);

// True when the text, apart from blanks at either end, is a plain decimal
// number ([+-]digits[.digits][e[+-]digits]) that reads as it looks; reports
// say what any other text was read as.
bool IsPlainNumber(std::string_view text);

// The text of the step size: the value rounded to six decimals (ties to even
// on value * 10^6), then shown with up to 15 significant digits, no trailing
// zeros and the given decimal separator; exponent form only from 10^15 up.
std::string FormatStepSize(double h, std::string_view decimal_separator);

// Up to 15 significant digits, shortest form, no thousands separators;
// plain decimals for magnitudes from 10^-6 to below 10^15, else "1.5E+20".
std::string GeneralText(double value, std::string_view decimal_separator);

// `decimals` decimals in exponent form, "." as the separator: "1.481e-07".
std::string ScientificText(double value, int decimals);

// A long double with `digits` significant digits, as printf's %Lg with "."
// as the separator.
std::string LongText(long double value, int digits);

// `digits` significant digits, no trailing zeros, "." as the separator, and
// exponent form only where printf's %g would use it: "2.7306", "-1.3589".
std::string SignificantText(double value, int digits);

// All digits of the whole part, then exactly `decimals` decimals, the value
// rounded half away from zero on its exact binary value; "-" for negatives.
std::string FixedText(double value, int decimals, std::string_view decimal_separator);

// The result line: x with four decimals, y1 and y2 with eight, each followed
// by its separators, then the method's name.
std::string ResultLine(double x, double y1, double y2, std::string_view method_name,
                       std::string_view decimal_separator);

}  // namespace kavrin
