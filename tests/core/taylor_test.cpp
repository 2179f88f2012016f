// The Taylor recurrences of the reference against coefficients found another
// way: by Cauchy's integral, f_k = (1/2 pi i) * integral of f(t) / t^(k+1)
// around a circle, summed over 128 points of the circle with the complex
// functions of the C++ library. Every function of the table is covered (a
// new one needs its complex twin here), with division and both kinds of
// power, each of an argument a(t) = c + b t.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/equation.h"
#include "core/reference.h"
#include "ode/functions.h"

namespace kavrin {
namespace {

using Complex = std::complex<long double>;
using ComplexFunction = std::function<Complex(Complex)>;

constexpr int kOrder = 20;
constexpr int kPoints = 128;
constexpr long double kPi = 3.141592653589793238462643383279502884L;

// The coefficients of f about 0 on a circle of radius rho, each times rho^k.
std::vector<long double> CauchyCoefficients(const ComplexFunction& f, long double rho) {
  std::vector<Complex> values(kPoints);
  for (int j = 0; j < kPoints; ++j) values[j] = f(std::polar(rho, 2 * kPi * j / kPoints));
  std::vector<long double> scaled(kOrder + 1);
  for (int k = 0; k <= kOrder; ++k) {
    Complex sum = 0;
    for (int j = 0; j < kPoints; ++j) sum += values[j] * std::polar(1.0L, -2 * kPi * j * k / kPoints);
    scaled[k] = (sum / static_cast<long double>(kPoints)).real();
  }
  return scaled;
}

// The series of an expression in x about x = 0, from the reference's
// recurrences: y1' = expression, so its coefficient k is (k + 1) y1_(k+1).
std::vector<long double> RecurrenceCoefficients(const std::string& expression) {
  const Outcome<std::shared_ptr<const OwnSystem>> own = ReadSystem({expression, "0", "0", "0", "0"});
  EXPECT_TRUE(own.ok()) << expression;
  if (!own.ok()) return {};
  std::vector<long double> y1, y2;
  EXPECT_TRUE(TypedSeries(*own.value(), 0, 0, 0, kOrder + 1, y1, y2)) << expression;
  std::vector<long double> f(kOrder + 1);
  for (std::size_t k = 0; k < f.size() && k + 1 < y1.size(); ++k) f[k] = static_cast<long double>(k + 1) * y1[k + 1];
  return f;
}

struct Case {
  std::string expression;  // in x, the variable t
  ComplexFunction f;
  long double rho;  // within the radius of convergence about 0
};

// Both ways alike to 1e-17 of the largest value on the circle, coefficient by coefficient.
void ExpectSameSeries(const Case& c) {
  SCOPED_TRACE(c.expression);
  const std::vector<long double> recurrence = RecurrenceCoefficients(c.expression);
  ASSERT_EQ(recurrence.size(), static_cast<std::size_t>(kOrder + 1));
  const std::vector<long double> cauchy = CauchyCoefficients(c.f, c.rho);
  long double size = 0;
  for (int j = 0; j < kPoints; ++j) size = std::max(size, std::abs(c.f(std::polar(c.rho, 2 * kPi * j / kPoints))));
  for (int k = 0; k <= kOrder; ++k) {
    const long double scaled = recurrence[k] * std::pow(c.rho, static_cast<long double>(k));
    EXPECT_NEAR(static_cast<double>(scaled), static_cast<double>(cauchy[k]), 1e-17 * static_cast<double>(size))
        << "coefficient " << k;
  }
}

// The complex twin of each function of the table, and the argument it is
// taken of: c + b t, with c inside its domain.
struct Twin {
  Complex (*f)(const Complex&);
  long double c;
  long double rho;
};
const std::map<std::string, Twin>& Twins() {
  static const std::map<std::string, Twin> twins = {
      {"sin", {std::sin<long double>, 0.3L, 2}},      {"cos", {std::cos<long double>, 0.3L, 2}},
      {"tan", {std::tan<long double>, 0.3L, 0.8L}},   {"asin", {std::asin<long double>, 0.3L, 0.5L}},
      {"acos", {std::acos<long double>, 0.3L, 0.5L}}, {"atan", {std::atan<long double>, 0.3L, 0.7L}},
      {"sinh", {std::sinh<long double>, 0.3L, 2}},    {"cosh", {std::cosh<long double>, 0.3L, 2}},
      {"tanh", {std::tanh<long double>, 0.3L, 1}},    {"exp", {std::exp<long double>, 0.3L, 2}},
      {"log", {std::log<long double>, 1.3L, 0.9L}},   {"sqrt", {std::sqrt<long double>, 1.3L, 0.9L}},
  };
  return twins;
}

TEST(TaylorRecurrences, EveryFunctionMeetsCauchysIntegral) {
  constexpr long double b = 0.7L;
  for (const FunctionRow& row : Functions()) {
    if (row.kink) continue;  // not analytic at its kink: below
    const auto twin = Twins().find(std::string(row.name));
    if (twin == Twins().end()) {
      ADD_FAILURE() << "no complex twin for '" << row.name << "': add one to check its recurrence";
      continue;
    }
    const Twin t = twin->second;
    char expression[64];
    std::snprintf(expression, sizeof expression, "%s(%.1Lf + %.1Lf*x)", std::string(row.name).c_str(), t.c, b);
    ExpectSameSeries({expression, [t, b](Complex z) { return t.f(t.c + b * z); }, t.rho});
  }
}

TEST(TaylorRecurrences, DivisionAndPowersMeetCauchysIntegral) {
  const Case cases[] = {
      {"1/(1.3 + 0.7*x)", [](Complex z) { return 1.0L / (1.3L + 0.7L * z); }, 0.9L},
      {"(0.3 + 0.7*x)^5", [](Complex z) { return std::pow(0.3L + 0.7L * z, 5); }, 2},
      {"(1.3 + 0.7*x)^-3", [](Complex z) { return std::pow(1.3L + 0.7L * z, -3); }, 0.9L},
      {"(1.3 + 0.7*x)^2.5", [](Complex z) { return std::pow(1.3L + 0.7L * z, Complex(2.5L)); }, 0.9L},
      {"(1.3 + 0.7*x)^(0.5 + x)", [](Complex z) { return std::exp((0.5L + z) * std::log(1.3L + 0.7L * z)); }, 0.9L},
      {"sin(x)*exp(x)/(2 - x)", [](Complex z) { return std::sin(z) * std::exp(z) / (2.0L - z); }, 1},
  };
  for (const Case& c : cases) ExpectSameSeries(c);
}

// abs is c + b t on the side of c, and where its argument starts at 0, it
// takes the sign of the way the series runs.
TEST(TaylorRecurrences, AbsTakesItsSide) {
  const struct {
    const char* expression;
    long double value, slope;
  } cases[] = {{"abs(0.3 + 0.7*x)", 0.3L, 0.7L}, {"abs(-0.3 + 0.7*x)", 0.3L, -0.7L}, {"abs(0.7*x)", 0, 0.7L}};
  for (const auto& c : cases) {
    const std::vector<long double> f = RecurrenceCoefficients(c.expression);
    ASSERT_EQ(f.size(), static_cast<std::size_t>(kOrder + 1));
    EXPECT_EQ(f[0], c.value) << c.expression;
    EXPECT_EQ(f[1], c.slope) << c.expression;
    for (int k = 2; k <= kOrder; ++k) EXPECT_EQ(f[k], 0) << c.expression << " " << k;
  }
}

}  // namespace
}  // namespace kavrin
