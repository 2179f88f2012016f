#pragma once

#include <string>

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

}  // namespace kavrin
