#pragma once

#include <string>
#include <string_view>

namespace kavrin {

// Reads a number leniently and never rejects a text: blanks, tabs and line
// feeds are ignored wherever they stand; an optional sign, digits with at most
// one ".", an optional exponent (E or D, either case, optional sign, digits);
// reading stops at the first character that cannot continue the number, and a
// text that does not begin with one reads as 0. "&H" and "&O" read the
// following hexadecimal or octal digits as a whole number. The decimal point
// is always ".". A number beyond the double range throws an overflow Failure
// naming `field` ("the target point x1"); one too small for it reads as zero.
double ReadNumber(std::string_view text, std::string_view field = "the input");

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
