#include "ode/charconv.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#if defined(__EMSCRIPTEN__) && !defined(KAVRIN_PORTABLE_CHARCONV)
#define KAVRIN_PORTABLE_CHARCONV 1
#endif
#if !defined(KAVRIN_PORTABLE_CHARCONV)
#include <charconv>
#endif

namespace kavrin {
namespace portable {
namespace {

// The text without its terminating zero, as to_chars writes it.
char* Copy(char* first, char* last, const char* text) {
  const std::size_t n = std::strlen(text);
  if (static_cast<std::size_t>(last - first) < n) return last;
  return std::copy(text, text + n, first);
}

bool ReadsBack(const char* text, double value) { return std::strtod(text, nullptr) == value; }

// The fewest significant digits (1 to 17) whose %e text reads back as value.
int ShortestDigits(double value, char* text, std::size_t size) {
  for (int digits = 1; digits < 17; ++digits) {
    std::snprintf(text, size, "%.*e", digits - 1, value);
    if (ReadsBack(text, value)) return digits;
  }
  std::snprintf(text, size, "%.16e", value);
  return 17;
}

// The fewest decimals whose %f text reads back as value: as many as the
// shortest significant digits reach below the point, or more if that text
// should not read back.
void ShortestFixed(double value, int digits, int exponent, char* text, std::size_t size) {
  for (int decimals = digits - 1 - exponent > 0 ? digits - 1 - exponent : 0;; ++decimals) {
    std::snprintf(text, size, "%.*f", decimals, value);
    if (ReadsBack(text, value) || decimals > 1100) return;
  }
}

int Exponent(double value, const char* scientific) {
  return value == 0 ? 0 : static_cast<int>(std::strtol(std::strchr(scientific, 'e') + 1, nullptr, 10));
}

}  // namespace

char* ToChars(char* first, char* last, double value, CharsStyle style) {
  char scientific[40];
  const int digits = ShortestDigits(value, scientific, sizeof scientific);
  if (style == CharsStyle::Scientific) return Copy(first, last, scientific);
  static thread_local char fixed[1500];
  const int exponent = Exponent(value, scientific);
  if (style == CharsStyle::General) {
    // As printf's %g with its default precision 6 chooses, the shortest
    // digits either way.
    if (exponent >= -4 && exponent < 6) {
      std::snprintf(fixed, sizeof fixed, "%.*f", digits - 1 - exponent > 0 ? digits - 1 - exponent : 0, value);
      return Copy(first, last, fixed);
    }
    return Copy(first, last, scientific);
  }
  // Beyond 10^25 either way the fixed text is longer than any scientific one.
  if (style == CharsStyle::Shortest && (exponent > 25 || exponent < -25)) return Copy(first, last, scientific);
  ShortestFixed(value, digits, exponent, fixed, sizeof fixed);
  if (style == CharsStyle::Fixed || std::strlen(fixed) <= std::strlen(scientific)) return Copy(first, last, fixed);
  return Copy(first, last, scientific);
}

char* ToChars(char* first, char* last, double value, CharsStyle style, int precision) {
  const char* pattern = style == CharsStyle::Scientific ? "%.*e" : style == CharsStyle::General ? "%.*g" : "%.*f";
  const int size = std::snprintf(first, static_cast<std::size_t>(last - first), pattern, precision, value);
  return size < 0 || size >= last - first ? last : first + size;
}

CharsRead FromChars(const char* first, const char* last, double& value, bool hex) {
  std::string text = hex ? "0x" : "";
  text.append(first, last);
  char* end = nullptr;
  const double read = std::strtod(text.c_str(), &end);
  // The characters of [first, last) read: "0x" alone reads as "0", which is
  // none of them.
  const auto parsed = static_cast<std::size_t>(end - text.c_str());
  const std::size_t prefix = hex ? 2 : 0;
  const std::size_t used = parsed > prefix ? parsed - prefix : 0;
  // Out of range: digits that round to infinity, or non-zero digits that
  // round to zero. Judged from the result, not errno, which C libraries set
  // differently (some also for a denormal result, some not for hex digits).
  const std::size_t digits_end = hex ? used : std::min(used, text.find_first_of("eE"));
  const std::string_view mantissa(first, digits_end);
  const bool non_zero = mantissa.find_first_of(hex ? "123456789abcdefABCDEF" : "123456789") != std::string_view::npos;
  if (std::isinf(read) || (read == 0 && non_zero)) return {first + used, true};
  value = read;
  return {first + used, false};
}

}  // namespace portable

#if defined(KAVRIN_PORTABLE_CHARCONV)
char* ToChars(char* first, char* last, double value, CharsStyle style) {
  return portable::ToChars(first, last, value, style);
}
char* ToChars(char* first, char* last, double value, CharsStyle style, int precision) {
  return portable::ToChars(first, last, value, style, precision);
}
CharsRead FromChars(const char* first, const char* last, double& value, bool hex) {
  return portable::FromChars(first, last, value, hex);
}
#else
namespace {
std::chars_format Format(CharsStyle style) {
  switch (style) {
    case CharsStyle::Fixed:
      return std::chars_format::fixed;
    case CharsStyle::Scientific:
      return std::chars_format::scientific;
    case CharsStyle::General:
    case CharsStyle::Shortest:
      break;
  }
  return std::chars_format::general;
}
}  // namespace

char* ToChars(char* first, char* last, double value, CharsStyle style) {
  if (style == CharsStyle::Shortest) return std::to_chars(first, last, value).ptr;
  return std::to_chars(first, last, value, Format(style)).ptr;
}
char* ToChars(char* first, char* last, double value, CharsStyle style, int precision) {
  return std::to_chars(first, last, value, Format(style), precision).ptr;
}
CharsRead FromChars(const char* first, const char* last, double& value, bool hex) {
  const auto result = std::from_chars(first, last, value, hex ? std::chars_format::hex : std::chars_format::general);
  return {result.ptr, result.ec == std::errc::result_out_of_range};
}
#endif

}  // namespace kavrin
