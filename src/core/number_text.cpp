#include "core/number_text.h"

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

// Emscripten's C++ library has no to_chars or from_chars for double.
#if defined(__EMSCRIPTEN__) && !defined(KAVRIN_PORTABLE_CHARCONV)
#define KAVRIN_PORTABLE_CHARCONV 1
#endif

#include "core/text.h"
#include "ode/wide.h"

namespace kavrin {
namespace portable {
namespace {

// printf and strtod follow LC_NUMERIC; number text always uses ".".
char LocalePoint() {
  const char* point = std::localeconv()->decimal_point;
  return point != nullptr && point[0] != '\0' ? point[0] : '.';
}

void PointToDot(char* first, char* last) {
  const char point = LocalePoint();
  if (point != '.') std::replace(first, last, point, '.');
}

// snprintf with one precision and one value, its decimal point always ".".
int Print(char* text, std::size_t size, const char* pattern, int precision, double value) {
  const int length = std::snprintf(text, size, pattern, precision, value);
  if (length > 0) PointToDot(text, text + std::min<std::size_t>(static_cast<std::size_t>(length), size));
  return length;
}

// The text without its terminating zero, as to_chars writes it.
char* Copy(char* first, char* last, const char* text) {
  const std::size_t n = std::strlen(text);
  if (static_cast<std::size_t>(last - first) < n) return last;
  return std::copy(text, text + n, first);
}

// strtod of a text with ".", whatever the locale's decimal point.
double ReadDecimal(const char* text, char** end) {
  const char point = LocalePoint();
  if (point == '.') return std::strtod(text, end);
  std::string local(text);
  std::replace(local.begin(), local.end(), '.', point);
  char* local_end = nullptr;
  const double value = std::strtod(local.c_str(), &local_end);
  if (end != nullptr) *end = const_cast<char*>(text) + (local_end - local.c_str());
  return value;
}

bool ReadsBack(const char* text, double value) { return ReadDecimal(text, nullptr) == value; }

// The fewest significant digits (1 to 17) whose %e text reads back as value.
int ShortestDigits(double value, char* text, std::size_t size) {
  for (int digits = 1; digits < 17; ++digits) {
    Print(text, size, "%.*e", digits - 1, value);
    if (ReadsBack(text, value)) return digits;
  }
  Print(text, size, "%.*e", 16, value);
  return 17;
}

// The fewest decimals whose %f text reads back as value: as many as the
// shortest significant digits reach below the point, or more if that text
// should not read back.
void ShortestFixed(double value, int digits, int exponent, char* text, std::size_t size) {
  for (int decimals = digits - 1 - exponent > 0 ? digits - 1 - exponent : 0;; ++decimals) {
    Print(text, size, "%.*f", decimals, value);
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
      Print(fixed, sizeof fixed, "%.*f", digits - 1 - exponent > 0 ? digits - 1 - exponent : 0, value);
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
  const int size = Print(first, static_cast<std::size_t>(last - first), pattern, precision, value);
  return size < 0 || size >= last - first ? last : first + size;
}

CharsRead FromChars(const char* first, const char* last, double& value, bool hex) {
  std::string text = hex ? "0x" : "";
  text.append(first, last);
  char* end = nullptr;
  const double read = ReadDecimal(text.c_str(), &end);
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

bool ReadPlainNumber(std::string_view text, double& value, long double& wide) {
  // Digits with at most one point, at least one digit, then an optional
  // exponent with at least one digit.
  std::size_t i = 0;
  std::size_t digits = 0;
  bool point = false;
  for (; i < text.size(); ++i) {
    if (text[i] >= '0' && text[i] <= '9') {
      ++digits;
    } else if (text[i] == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (digits == 0) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    const std::size_t exponent = j;
    while (j < text.size() && text[j] >= '0' && text[j] <= '9') ++j;
    if (j == exponent) return false;
    i = j;
  }
  if (i != text.size()) return false;
  // A leading point reads as "0.", which from_chars and strtod both take.
  std::string number(text);
  if (number.front() == '.') number.insert(number.begin(), '0');

  const char point_char = portable::LocalePoint();
  std::string local = number;
  std::replace(local.begin(), local.end(), '.', point_char);
  wide = std::strtold(local.c_str(), nullptr);
  // Beyond double's range either way: infinite, or zero.
  if (FromChars(number.data(), number.data() + number.size(), value).out_of_range) value = static_cast<double>(wide);
  return true;
}

double DecimalRemainder(std::string_view text, double value) {
  if (!std::isfinite(value) || value == 0 || std::fabs(value) < 0x1p-900 || std::fabs(value) > 0x1p+900) return 0;
  // The significant digits (at most 34) and the power of ten they are
  // scaled by.
  std::string digits;
  int exponent = 0;
  std::size_t i = 0;
  bool point = false;
  for (; i < text.size() && text[i] != 'e' && text[i] != 'E'; ++i) {
    if (text[i] == '.') {
      point = true;
    } else if (digits.size() < 34 && (!digits.empty() || text[i] != '0')) {
      digits += text[i];
      if (point) --exponent;
    } else if (!digits.empty() && !point) {
      ++exponent;  // a digit beyond the 34th, before the point
    } else if (digits.empty() && point) {
      --exponent;  // a leading zero after the point
    }
  }
  if (i + 1 < text.size()) {
    int written = 0;
    std::from_chars(text.data() + i + 1 + (text[i + 1] == '+' ? 1 : 0), text.data() + text.size(), written);
    exponent += written;
  }
  static constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  DoubleDouble number(0);
  for (std::size_t at = 0; at < digits.size(); at += 15) {
    const std::string chunk = digits.substr(at, 15);
    number = number * DoubleDouble(kPowers[chunk.size()]) + DoubleDouble(static_cast<double>(std::stoll(chunk)));
  }
  DoubleDouble power(1);
  DoubleDouble ten(10);
  for (unsigned n = static_cast<unsigned>(exponent < 0 ? -exponent : exponent); n != 0; n >>= 1) {
    if ((n & 1) != 0) power = power * ten;
    ten = ten * ten;
  }
  if (!isfinite(power)) return 0;
  number = exponent < 0 ? number / power : number * power;
  return (number - DoubleDouble(value)).hi;
}

std::string RoundTripText(double value) {
  char buffer[32];
  return std::string(buffer, ToChars(buffer, buffer + sizeof buffer, value, CharsStyle::Shortest));
}

std::string ToleranceText(double value) {
  char buffer[32];
  std::string text(buffer, ToChars(buffer, buffer + sizeof buffer, value, CharsStyle::Scientific));
  const std::size_t e = text.find('e');
  if (e == std::string::npos) return text;
  std::size_t digits = e + 1;
  if (digits < text.size() && text[digits] == '+') text.erase(digits, 1);
  if (digits < text.size() && text[digits] == '-') ++digits;
  while (digits + 1 < text.size() && text[digits] == '0') text.erase(digits, 1);
  return text.substr(digits) == "0" ? text.substr(0, e) : text;
}

std::string WholeText(double value) {
  if (value != std::floor(value) || std::fabs(value) >= 1e15) return RoundTripText(value);
  char buffer[32];
  return std::string(buffer, ToChars(buffer, buffer + sizeof buffer, value, CharsStyle::Fixed));
}

std::string PlainRoundTripText(double value) {
  char buffer[64];
  // Plain decimals where they are short enough to read, else exponent form.
  const double magnitude = value < 0 ? -value : value;
  const CharsStyle style = magnitude >= 1e-6 && magnitude < 1e15 ? CharsStyle::Fixed : CharsStyle::General;
  return std::string(buffer, ToChars(buffer, buffer + sizeof buffer, value, style));
}

namespace {

// Walks a text, skipping the blanks that number reading ignores.
class Cursor {
 public:
  explicit Cursor(std::string_view text) : m_text(text) {}

  // The next significant character, or '\0' at the end.
  char Peek() {
    while (m_pos < m_text.size() && IsIgnored(m_text[m_pos])) ++m_pos;
    return m_pos < m_text.size() ? m_text[m_pos] : '\0';
  }
  void Advance() { ++m_pos; }
  std::size_t Position() const { return m_pos; }
  void Restore(std::size_t pos) { m_pos = pos; }

 private:
  static bool IsIgnored(char c) { return IsBlank(c); }

  std::string_view m_text;
  std::size_t m_pos = 0;
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
bool IsOctalDigit(char c) { return c >= '0' && c <= '7'; }

// What a reading needs to report a number too large: the text, what it is
// in words and which field.
struct Reading {
  std::string_view text;
  std::string_view noun;
  Field field;
};

[[noreturn]] void ThrowTooLarge(const Reading& r) {
  throw Failure{FailureKind::Overflow,
                {r.field},
                {},
                std::string(r.noun) + " " + QuotedInput(r.text) +
                    " is too large to compute with: numbers must lie between -1.8E+308 and 1.8E+308.",
                "Enter a smaller number."};
}

// Octal digits rewritten as the hexadecimal digits of the same whole number.
std::string OctalToHex(const std::string& octal) {
  std::string bits;
  bits.reserve(octal.size() * 3 + 3);
  for (char c : octal) {
    const int d = c - '0';
    bits += (d & 4) ? '1' : '0';
    bits += (d & 2) ? '1' : '0';
    bits += (d & 1) ? '1' : '0';
  }
  bits.insert(0, (4 - bits.size() % 4) % 4, '0');
  std::string hex;
  hex.reserve(bits.size() / 4);
  for (std::size_t i = 0; i < bits.size(); i += 4) {
    const int nibble = (bits[i] - '0') * 8 + (bits[i + 1] - '0') * 4 + (bits[i + 2] - '0') * 2 + (bits[i + 3] - '0');
    hex += "0123456789abcdef"[nibble];
  }
  return hex;
}

double ReadWholeNumber(Cursor& cursor, bool hexadecimal, const Reading& reading) {
  std::string digits;
  for (char c = cursor.Peek(); hexadecimal ? IsHexDigit(c) : IsOctalDigit(c); c = cursor.Peek()) {
    if (!(digits.empty() && c == '0')) digits += c;  // leading zeros add nothing
    cursor.Advance();
  }
  if (digits.empty()) return 0.0;
  if (!hexadecimal) digits = OctalToHex(digits);
  double value = 0.0;
  if (FromChars(digits.data(), digits.data() + digits.size(), value, true).out_of_range) ThrowTooLarge(reading);
  return value;
}

}  // namespace

std::string QuotedInput(std::string_view text) {
  constexpr std::size_t kShown = 40;
  std::string quoted(1, '"');
  if (text.size() <= kShown) {
    quoted.append(text);
  } else {
    // Cut at the start of the character that holds byte 40, so that none is split.
    quoted.append(text.substr(0, CharacterStart(text, CodePoints(text.substr(0, kShown + 1)) - 1)));
    quoted.append("...");
  }
  quoted += '"';
  return quoted;
}

bool IsPlainNumber(std::string_view text) {
  text = Trimmed(text);
  std::size_t i = 0;
  const auto digits = [&] {
    const std::size_t start = i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    return i - start;
  };
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  std::size_t mantissa = digits();
  if (i < text.size() && text[i] == '.') {
    ++i;
    mantissa += digits();
  }
  if (mantissa == 0) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    if (digits() == 0) return false;
  }
  return i == text.size();
}

namespace {

// Digits with at most one ".", without the blanks, as from_chars reads them;
// empty when there is no digit.
std::string ReadMantissa(Cursor& cursor) {
  std::string number;
  bool has_digit = false;
  bool has_point = false;
  for (char c = cursor.Peek(); IsDigit(c) || (c == '.' && !has_point); c = cursor.Peek()) {
    has_digit = has_digit || IsDigit(c);
    has_point = has_point || c == '.';
    number += c;
    cursor.Advance();
  }
  return has_digit ? number : std::string();
}

// E or D (either case), a sign and digits, saturated far beyond any double;
// it counts only when at least one digit follows its letter, else 0.
std::int64_t ReadExponent(Cursor& cursor) {
  const char e = cursor.Peek();
  if (e != 'E' && e != 'e' && e != 'D' && e != 'd') return 0;
  const std::size_t before = cursor.Position();
  cursor.Advance();
  bool negative = false;
  if (cursor.Peek() == '+' || cursor.Peek() == '-') {
    negative = cursor.Peek() == '-';
    cursor.Advance();
  }
  std::int64_t exponent = 0;
  bool digit = false;
  for (char c = cursor.Peek(); IsDigit(c); c = cursor.Peek()) {
    digit = true;
    // Saturate: the sum with the digit count stays small.
    if (exponent < 1'000'000'000) exponent = exponent * 10 + (c - '0');
    cursor.Advance();
  }
  if (!digit) cursor.Restore(before);
  return negative ? -exponent : exponent;
}

// The decimal exponent of the first significant digit of mantissa * 10^exponent,
// to tell a number too large from one too small.
std::int64_t Magnitude(const std::string& mantissa, std::int64_t exponent) {
  const std::size_t point = mantissa.find('.');
  const auto whole = static_cast<std::int64_t>(point == std::string::npos ? mantissa.size() : point);
  const auto first = static_cast<std::int64_t>(mantissa.find_first_of("123456789"));
  return (first < whole ? whole - first - 1 : whole - first) + exponent;
}

}  // namespace

double ReadNumber(std::string_view text, std::string_view noun, Field field) {
  const Reading reading{text, noun, field};
  Cursor cursor(text);
  if (cursor.Peek() == '&') {
    cursor.Advance();
    const char base = cursor.Peek();
    if (base == 'H' || base == 'h' || base == 'O' || base == 'o') {
      cursor.Advance();
      return ReadWholeNumber(cursor, base == 'H' || base == 'h', reading);
    }
    return 0.0;
  }
  bool negative = false;
  if (cursor.Peek() == '+' || cursor.Peek() == '-') {
    negative = cursor.Peek() == '-';
    cursor.Advance();
  }
  const std::string mantissa = ReadMantissa(cursor);
  if (mantissa.empty()) return 0.0;
  const std::int64_t exponent = ReadExponent(cursor);
  const std::string number = mantissa + "e" + std::to_string(exponent);
  double value = 0.0;
  if (FromChars(number.data(), number.data() + number.size(), value).out_of_range) {
    // Out of range is either too large or too small.
    if (Magnitude(mantissa, exponent) >= 0) ThrowTooLarge(reading);
    value = 0.0;
  }
  return negative ? -value : value;
}

std::string GeneralText(double value, std::string_view decimal_separator) {
  if (value == 0) return "0";
  char buffer[64];
  const char* const end = ToChars(buffer, buffer + sizeof buffer, value, CharsStyle::Scientific, 14);
  // buffer holds [-]d.dddddddddddddde[+-]xx
  const std::string_view text(buffer, static_cast<std::size_t>(end - buffer));
  const bool negative = text.front() == '-';
  const std::size_t e_pos = text.find('e');
  std::string digits;
  for (char c : text.substr(negative ? 1 : 0, e_pos - (negative ? 1 : 0)))
    if (c != '.') digits += c;
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  int exponent = 0;
  std::from_chars(text.data() + e_pos + (text[e_pos + 1] == '+' ? 2 : 1), text.data() + text.size(), exponent);

  std::string out = negative ? "-" : "";
  if (exponent >= 15 || exponent < -6) {
    out += digits[0];
    if (digits.size() > 1) {
      out += decimal_separator;
      out += digits.substr(1);
    }
    out += exponent < 0 ? "E-" : "E+";
    const int magnitude = exponent < 0 ? -exponent : exponent;
    if (magnitude < 10) out += '0';
    out += std::to_string(magnitude);
  } else if (exponent >= 0) {
    const std::size_t whole = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() <= whole) {
      out += digits + std::string(whole - digits.size(), '0');
    } else {
      out += digits.substr(0, whole);
      out += decimal_separator;
      out += digits.substr(whole);
    }
  } else {
    out += '0';
    out += decimal_separator;
    out += std::string(static_cast<std::size_t>(-exponent - 1), '0');
    out += digits;
  }
  return out;
}

std::string FormatStepSize(double h, std::string_view decimal_separator) {
  // A value so large that value * 10^6 overflows has no decimals to round.
  const double scaled = h * 1e6;
  const double rounded = std::isfinite(scaled) ? std::nearbyint(scaled) / 1e6 : h;
  return GeneralText(rounded, decimal_separator);
}

std::string ScientificText(double value, int decimals) {
  char buffer[64];
  return std::string(buffer, ToChars(buffer, buffer + sizeof buffer, value, CharsStyle::Scientific, decimals));
}

std::string LongText(long double value, int digits) {
  char buffer[96];
#if defined(KAVRIN_PORTABLE_CHARCONV)
  const int length = std::snprintf(buffer, sizeof buffer, "%.*Lg", digits, value);
  if (length < 0) return {};
  portable::PointToDot(buffer, buffer + std::min<std::size_t>(static_cast<std::size_t>(length), sizeof buffer - 1));
  return std::string(buffer, std::min<std::size_t>(static_cast<std::size_t>(length), sizeof buffer - 1));
#else
  return std::string(buffer,
                     std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, digits).ptr);
#endif
}

std::string SignificantText(double value, int digits) {
  char buffer[64];
  return std::string(buffer, ToChars(buffer, buffer + sizeof buffer, value, CharsStyle::General, digits));
}

std::string TextApartFrom(double value, double other) {
  const auto side = [other](double v) { return v < other ? -1 : v > other ? 1 : 0; };
  for (int digits = 5;; ++digits) {
    std::string text = SignificantText(value, digits);
    double read = 0;
    FromChars(text.data(), text.data() + text.size(), read);
    if (side(read) == side(value) || digits >= 17) return text;
  }
}

std::string FixedText(double value, int decimals, std::string_view decimal_separator) {
  // The exact decimal expansion: a double has at most 1074 fractional digits
  // and 309 whole ones.
  constexpr int kExactDigits = 1100;
  char buffer[kExactDigits + 330];
  const double magnitude = std::fabs(value);
  const char* const end = ToChars(buffer, buffer + sizeof buffer, magnitude, CharsStyle::Fixed, kExactDigits);
  const std::string_view exact(buffer, static_cast<std::size_t>(end - buffer));
  const std::size_t point = exact.find('.');

  std::string digits(exact.substr(0, point));
  digits += exact.substr(point + 1, static_cast<std::size_t>(decimals));
  if (exact[point + 1 + static_cast<std::size_t>(decimals)] >= '5') {
    // Half or more of the last kept place: round the magnitude up.
    std::size_t i = digits.size();
    while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
    if (i == 0)
      digits.insert(0, 1, '1');
    else
      ++digits[i - 1];
  }
  const std::size_t whole = digits.size() - static_cast<std::size_t>(decimals);
  std::string out = value < 0 ? "-" : "";
  out += digits.substr(0, whole);
  out += decimal_separator;
  out += digits.substr(whole);
  return out;
}

std::string ResultLine(double x, double y1, double y2, std::string_view method_name,
                       std::string_view decimal_separator) {
  std::string line = FixedText(x, 4, decimal_separator);
  line += "    ";
  line += FixedText(y1, 8, decimal_separator);
  line += "   ";
  line += "    ";
  line += FixedText(y2, 8, decimal_separator);
  line += "   ";
  line += method_name;
  return line;
}

}  // namespace kavrin
