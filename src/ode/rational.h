#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kavrin {

// An exact fraction n/d in lowest terms, d > 0, over 128-bit integers (64
// where the compiler has none wider). An
// operation whose result does not fit leaves it not valid, and every
// operation on an invalid fraction stays invalid: the caller then falls back
// to floating point.
class Rational {
 public:
#if defined(__SIZEOF_INT128__)
  __extension__ typedef __int128 Int;  // NOLINT(modernize-use-using): __extension__ keeps -Wpedantic quiet
#else
  using Int = long long;
#endif

  Rational() = default;
  Rational(std::int64_t n) : m_n(n) {}  // NOLINT(google-explicit-constructor): whole numbers read as fractions
  static Rational Of(Int n, Int d);
  static Rational Invalid();

  bool valid() const { return m_valid; }
  Int numerator() const { return m_n; }
  Int denominator() const { return m_d; }
  double ToDouble() const;
  // "p/q", or "p" when q is 1.
  std::string Text() const;

  friend Rational operator+(const Rational& a, const Rational& b);
  friend Rational operator-(const Rational& a, const Rational& b);
  friend Rational operator*(const Rational& a, const Rational& b);
  friend Rational operator/(const Rational& a, const Rational& b);
  Rational operator-() const;
  friend bool operator==(const Rational& a, const Rational& b) {
    return a.m_valid && b.m_valid && a.m_n == b.m_n && a.m_d == b.m_d;
  }

 private:
  Int m_n = 0;
  Int m_d = 1;
  bool m_valid = true;
};

}  // namespace kavrin
