#include "core/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>

#include "ode/charconv.h"
#include "ode/failure.h"

namespace kavrin {
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
  static bool IsIgnored(char c) { return c == ' ' || c == '\t' || c == '\n'; }

  std::string_view m_text;
  std::size_t m_pos = 0;
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
bool IsOctalDigit(char c) { return c >= '0' && c <= '7'; }

[[noreturn]] void ThrowTooLarge(std::string_view text, std::string_view field) {
  throw Failure(FailureKind::Overflow, std::string(field) + " " + QuotedInput(text) +
                                           " is too large to compute with: numbers must lie between -1.8E+308 and "
                                           "1.8E+308. Enter a smaller number.");
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

double ReadWholeNumber(Cursor& cursor, bool hexadecimal, std::string_view text, std::string_view field) {
  std::string digits;
  for (char c = cursor.Peek(); hexadecimal ? IsHexDigit(c) : IsOctalDigit(c); c = cursor.Peek()) {
    if (!(digits.empty() && c == '0')) digits += c;  // leading zeros add nothing
    cursor.Advance();
  }
  if (digits.empty()) return 0.0;
  if (!hexadecimal) digits = OctalToHex(digits);
  double value = 0.0;
  if (FromChars(digits.data(), digits.data() + digits.size(), value, true).out_of_range) ThrowTooLarge(text, field);
  return value;
}

}  // namespace

std::string QuotedInput(std::string_view text) {
  constexpr std::size_t kShown = 40;
  if (text.size() <= kShown) return "\"" + std::string(text) + "\"";
  // Back up over UTF-8 continuation bytes (10xxxxxx) so no character is split.
  std::size_t cut = kShown;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return "\"" + std::string(text.substr(0, cut)) + "...\"";
}

bool IsPlainNumber(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
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

double ReadNumber(std::string_view text, std::string_view field) {
  Cursor cursor(text);

  if (cursor.Peek() == '&') {
    cursor.Advance();
    const char base = cursor.Peek();
    if (base == 'H' || base == 'h' || base == 'O' || base == 'o') {
      cursor.Advance();
      return ReadWholeNumber(cursor, base == 'H' || base == 'h', text, field);
    }
    return 0.0;
  }

  bool negative = false;
  if (cursor.Peek() == '+' || cursor.Peek() == '-') {
    negative = cursor.Peek() == '-';
    cursor.Advance();
  }

  // The mantissa, without the blanks, as from_chars reads it.
  std::string number;
  bool has_digit = false;
  bool has_point = false;
  for (char c = cursor.Peek(); IsDigit(c) || (c == '.' && !has_point); c = cursor.Peek()) {
    has_digit = has_digit || IsDigit(c);
    has_point = has_point || c == '.';
    number += c;
    cursor.Advance();
  }
  if (!has_digit) return 0.0;

  // The exponent counts only when at least one digit follows its letter.
  std::int64_t exponent = 0;
  if (const char e = cursor.Peek(); e == 'E' || e == 'e' || e == 'D' || e == 'd') {
    const std::size_t before = cursor.Position();
    cursor.Advance();
    bool exponent_negative = false;
    if (cursor.Peek() == '+' || cursor.Peek() == '-') {
      exponent_negative = cursor.Peek() == '-';
      cursor.Advance();
    }
    bool exponent_digit = false;
    for (char c = cursor.Peek(); IsDigit(c); c = cursor.Peek()) {
      exponent_digit = true;
      // Saturate: far beyond any double, and the sum with the digit count stays small.
      if (exponent < 1'000'000'000) exponent = exponent * 10 + (c - '0');
      cursor.Advance();
    }
    if (exponent_digit) {
      if (exponent_negative) exponent = -exponent;
    } else {
      cursor.Restore(before);
    }
  }

  number += 'e';
  number += std::to_string(exponent);
  double value = 0.0;
  if (FromChars(number.data(), number.data() + number.size(), value).out_of_range) {
    // Out of range is either too large or too small: find the decimal
    // exponent of the first significant digit to tell which.
    const std::size_t point = number.find('.');
    const std::size_t first = number.find_first_of("123456789");
    const std::int64_t int_digits = static_cast<std::int64_t>(point == std::string::npos ? number.find('e') : point);
    const std::int64_t position = static_cast<std::int64_t>(first);
    const std::int64_t magnitude =
        (position < int_digits ? int_digits - position - 1 : int_digits - position) + exponent;
    if (magnitude >= 0) ThrowTooLarge(text, field);
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

std::string SignificantText(double value, int digits) {
  char buffer[64];
  return std::string(buffer, ToChars(buffer, buffer + sizeof buffer, value, CharsStyle::General, digits));
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
