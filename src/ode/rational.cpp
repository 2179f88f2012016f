#include "ode/rational.h"

#include <algorithm>
#include <limits>

namespace kavrin {
namespace {

using Int = Rational::Int;

Int Gcd(Int a, Int b) {
  if (a < 0) a = -a;
  if (b < 0) b = -b;
  while (b != 0) {
    const Int r = a % b;
    a = b;
    b = r;
  }
  return a;
}

#if defined(__GNUC__) || defined(__clang__)
bool Multiply(Int a, Int b, Int& out) { return !__builtin_mul_overflow(a, b, &out); }
bool Add(Int a, Int b, Int& out) { return !__builtin_add_overflow(a, b, &out); }
#else
bool Multiply(Int a, Int b, Int& out) {
  constexpr Int kMax = std::numeric_limits<Int>::max();
  if (a != 0 && b != 0 && (a > 0 ? (b > 0 ? a > kMax / b : b < -kMax / a) : (b > 0 ? a < -kMax / b : -a > kMax / -b)))
    return false;
  out = a * b;
  return true;
}
bool Add(Int a, Int b, Int& out) {
  constexpr Int kMax = std::numeric_limits<Int>::max();
  if ((b > 0 && a > kMax - b) || (b < 0 && a < -kMax - b)) return false;
  out = a + b;
  return true;
}
#endif

}  // namespace

Rational Rational::Invalid() {
  Rational r;
  r.m_valid = false;
  return r;
}

Rational Rational::Of(Int n, Int d) {
  if (d == 0 || n == std::numeric_limits<Int>::min() || d == std::numeric_limits<Int>::min()) return Invalid();
  if (d < 0) {
    n = -n;
    d = -d;
  }
  const Int g = Gcd(n, d);
  Rational r;
  r.m_n = g > 1 ? n / g : n;
  r.m_d = g > 1 ? d / g : d;
  return r;
}

double Rational::ToDouble() const {
  if (!m_valid) return 0;
  // Numerator and denominator scaled together into double's range keep
  // their ratio to about one rounding each.
  return static_cast<double>(static_cast<long double>(m_n) / static_cast<long double>(m_d));
}

std::string Rational::Text() const {
  if (!m_valid) return "?";
  auto digits = [](Int v) {
    std::string s;
    const bool negative = v < 0;
    do {
      const int d = static_cast<int>(v % 10);
      s.push_back(static_cast<char>('0' + (negative ? -d : d)));
      v /= 10;
    } while (v != 0);
    if (negative) s.push_back('-');
    std::reverse(s.begin(), s.end());
    return s;
  };
  return m_d == 1 ? digits(m_n) : digits(m_n) + "/" + digits(m_d);
}

Rational operator+(const Rational& a, const Rational& b) {
  if (!a.m_valid || !b.m_valid) return Rational::Invalid();
  const Int g = Gcd(a.m_d, b.m_d);
  Int left = 0, right = 0, sum = 0, d = 0;
  if (!Multiply(a.m_n, b.m_d / g, left) || !Multiply(b.m_n, a.m_d / g, right) || !Add(left, right, sum) ||
      !Multiply(a.m_d / g, b.m_d, d))
    return Rational::Invalid();
  return Rational::Of(sum, d);
}

Rational Rational::operator-() const {
  if (!m_valid) return Invalid();
  return Of(-m_n, m_d);
}

Rational operator-(const Rational& a, const Rational& b) { return a + (-b); }

Rational operator*(const Rational& a, const Rational& b) {
  if (!a.m_valid || !b.m_valid) return Rational::Invalid();
  // Cross-cancelled first, so that products stay as small as they can.
  const Int g1 = Gcd(a.m_n, b.m_d);
  const Int g2 = Gcd(b.m_n, a.m_d);
  Int n = 0, d = 0;
  if (!Multiply(g1 > 1 ? a.m_n / g1 : a.m_n, g2 > 1 ? b.m_n / g2 : b.m_n, n) ||
      !Multiply(g2 > 1 ? a.m_d / g2 : a.m_d, g1 > 1 ? b.m_d / g1 : b.m_d, d))
    return Rational::Invalid();
  return Rational::Of(n, d);
}

Rational operator/(const Rational& a, const Rational& b) {
  if (!a.m_valid || !b.m_valid || b.m_n == 0) return Rational::Invalid();
  return a * Rational::Of(b.m_d, b.m_n);
}

}  // namespace kavrin
