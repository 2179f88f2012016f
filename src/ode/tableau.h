#pragma once

#include <array>
#include <complex>
#include <cstddef>
#include <initializer_list>
#include <vector>

namespace kavrin {

// The most stages a tableau may have.
inline constexpr std::size_t kMaxStages = 16;

// A Runge-Kutta method's Butcher tableau: the nodes c, the matrix A (for an
// explicit method, below the diagonal only), the weights b and, for a method
// with an embedded pair, its second weights. Each step type gives the
// coefficients its step performs, in double.
struct Tableau {
  std::size_t stages = 0;
  std::array<double, kMaxStages> c{};
  std::array<std::array<double, kMaxStages>, kMaxStages> a{};
  std::array<double, kMaxStages> b{};
  std::array<double, kMaxStages> second{};  // the embedded pair's weights
  bool embedded = false;

  // A tableau from its rows as a textbook prints them: the nodes, the rows
  // of A (row i holding a_i1 ... a_i(i-1)), the weights and, if given, the
  // second weights.
  static Tableau Explicit(std::initializer_list<double> c, std::initializer_list<std::initializer_list<double>> a,
                          std::initializer_list<double> b, std::initializer_list<double> second = {});
  bool explicit_method() const;
};

// The stability function of an explicit method, R(z) = 1 + z b^T (I - zA)^-1 1,
// a polynomial: its coefficients from z^0, gamma_k = b^T A^(k-1) 1.
std::vector<double> StabilityPolynomial(const Tableau& tableau);

// R at a point of the complex plane.
std::complex<double> Stability(const std::vector<double>& polynomial, std::complex<double> z);

// A stability function as the ratio of two polynomials (coefficients from
// z^0): an explicit method's has denominator 1; a one-stage implicit
// method's, (1 + (b - a) z) / (1 - a z). Empty for tableaux of more
// implicit stages, which are not run.
struct StabilityFunction {
  std::vector<double> numerator;
  std::vector<double> denominator{1};
  bool known() const { return !numerator.empty(); }
  bool polynomial() const { return denominator.size() == 1 && denominator[0] == 1; }
};
StabilityFunction StabilityOf(const Tableau& tableau);
std::complex<double> Stability(const StabilityFunction& function, std::complex<double> z);

// Where the stability region |R(z)| <= 1 meets the axes from the origin:
// [-real, 0] on the negative real axis and [-imaginary, imaginary] on the
// imaginary one (0 when it holds no more than the origin there), each to
// about 1e-12.
struct StabilityIntervals {
  double real = 0;
  double imaginary = 0;
};
// Either may be HUGE_VAL: the whole half-axis (an A-stable method).
StabilityIntervals AxisIntervals(const std::vector<double>& polynomial);
StabilityIntervals AxisIntervals(const StabilityFunction& function);

}  // namespace kavrin
