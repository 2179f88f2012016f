#pragma once

#include <cmath>
#include <limits>
#include <type_traits>

namespace kavrin {

// A number of about 106 bits made of two doubles, hi + lo with |lo| <= half
// an ulp of hi, for machines whose long double is no wider than double. The
// error-free transformations (TwoSum, TwoProd with a fused multiply-add) keep
// every operation's rounding below 2^-104 of its result.
struct DoubleDouble {
  double hi = 0;
  double lo = 0;

  constexpr DoubleDouble() = default;
  constexpr DoubleDouble(double value) : hi(value) {}  // NOLINT(google-explicit-constructor): a number like any other
  constexpr DoubleDouble(double high, double low) : hi(high), lo(low) {}
  explicit operator double() const { return hi + lo; }
  explicit operator long double() const { return static_cast<long double>(hi) + lo; }

  static DoubleDouble QuickTwoSum(double a, double b) {
    const double s = a + b;
    return {s, b - (s - a)};
  }
  static DoubleDouble TwoSum(double a, double b) {
    const double s = a + b;
    const double v = s - a;
    return {s, (a - (s - v)) + (b - v)};
  }
  static DoubleDouble TwoProd(double a, double b) {
    const double p = a * b;
    return {p, std::fma(a, b, -p)};
  }

  friend DoubleDouble operator+(const DoubleDouble& x, const DoubleDouble& y) {
    const DoubleDouble s = TwoSum(x.hi, y.hi);
    const DoubleDouble t = TwoSum(x.lo, y.lo);
    const DoubleDouble u = QuickTwoSum(s.hi, s.lo + t.hi);
    return QuickTwoSum(u.hi, u.lo + t.lo);
  }
  friend DoubleDouble operator-(const DoubleDouble& x) { return {-x.hi, -x.lo}; }
  friend DoubleDouble operator-(const DoubleDouble& x, const DoubleDouble& y) { return x + -y; }
  friend DoubleDouble operator*(const DoubleDouble& x, const DoubleDouble& y) {
    const DoubleDouble p = TwoProd(x.hi, y.hi);
    return QuickTwoSum(p.hi, p.lo + (x.hi * y.lo + x.lo * y.hi));
  }
  friend DoubleDouble operator/(const DoubleDouble& x, const DoubleDouble& y) {
    const double q1 = x.hi / y.hi;
    const DoubleDouble r1 = x - y * DoubleDouble(q1);
    const double q2 = r1.hi / y.hi;
    const DoubleDouble r2 = r1 - y * DoubleDouble(q2);
    const double q3 = r2.hi / y.hi;
    return QuickTwoSum(q1, q2) + DoubleDouble(q3);
  }
  friend bool operator<(const DoubleDouble& x, const DoubleDouble& y) {
    return x.hi < y.hi || (x.hi == y.hi && x.lo < y.lo);
  }
  friend bool operator>(const DoubleDouble& x, const DoubleDouble& y) { return y < x; }
  friend bool operator==(const DoubleDouble& x, const DoubleDouble& y) { return x.hi == y.hi && x.lo == y.lo; }
  friend DoubleDouble sqrt(const DoubleDouble& x) {
    if (!(x.hi > 0)) return DoubleDouble(std::sqrt(x.hi));
    const DoubleDouble q(std::sqrt(x.hi));
    return q + (x - q * q) / (DoubleDouble(2) * q);
  }
  friend DoubleDouble fabs(const DoubleDouble& x) { return x.hi < 0 ? -x : x; }
  // A power in double: where long double is no wider than double, nothing
  // wider is at hand (the functions of typed equations likewise, by their rows).
  friend DoubleDouble pow(const DoubleDouble& x, const DoubleDouble& y) {
    return std::pow(static_cast<double>(x), static_cast<double>(y));
  }

  friend bool isfinite(const DoubleDouble& x) { return std::isfinite(x.hi) && std::isfinite(x.lo); }
};

// The type the study marches in beside double to measure a run's own
// rounding: long double where it carries at least 64 significant bits
// (x86-64's 80-bit format, the 128-bit one of aarch64 Linux and WebAssembly),
// else DoubleDouble.
using WideReal = std::conditional_t<std::numeric_limits<long double>::digits >= 64, long double, DoubleDouble>;

// A wide number as long double, for reports and differences.
inline long double ToLong(long double value) { return value; }
inline long double ToLong(const DoubleDouble& value) { return static_cast<long double>(value); }

}  // namespace kavrin
