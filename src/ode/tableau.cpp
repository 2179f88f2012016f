#include "ode/tableau.h"

#include <algorithm>
#include <cmath>

namespace kavrin {

Tableau Tableau::Explicit(std::initializer_list<double> c, std::initializer_list<std::initializer_list<double>> a,
                          std::initializer_list<double> b, std::initializer_list<double> second) {
  Tableau t;
  t.stages = std::min(b.size(), kMaxStages);
  std::copy_n(c.begin(), std::min(c.size(), t.stages), t.c.begin());
  std::size_t i = 1;
  for (const auto& row : a) {
    if (i >= t.stages) break;
    std::copy_n(row.begin(), std::min(row.size(), i), t.a[i].begin());
    ++i;
  }
  std::copy_n(b.begin(), t.stages, t.b.begin());
  t.embedded = second.size() != 0;
  std::copy_n(second.begin(), std::min(second.size(), t.stages), t.second.begin());
  return t;
}

bool Tableau::explicit_method() const {
  for (std::size_t i = 0; i < stages; ++i)
    for (std::size_t j = i; j < stages; ++j)
      if (a[i][j] != 0) return false;
  return true;
}

std::vector<double> StabilityPolynomial(const Tableau& t) {
  // v = A^(k-1) 1, one power at a time; gamma_k = b . v.
  std::vector<double> gamma{1};
  std::vector<double> v(t.stages, 1.0);
  for (std::size_t k = 1; k <= t.stages; ++k) {
    double sum = 0;
    for (std::size_t i = 0; i < t.stages; ++i) sum += t.b[i] * v[i];
    gamma.push_back(sum);
    std::vector<double> next(t.stages, 0.0);
    for (std::size_t i = 0; i < t.stages; ++i)
      for (std::size_t j = 0; j < i; ++j) next[i] += t.a[i][j] * v[j];
    v = next;
  }
  // Terms that vanish (a method of fewer effective stages) are dropped.
  while (gamma.size() > 1 && gamma.back() == 0) gamma.pop_back();
  return gamma;
}

std::complex<double> Stability(const std::vector<double>& polynomial, std::complex<double> z) {
  std::complex<double> r = 0;
  for (std::size_t k = polynomial.size(); k-- > 0;) r = r * z + polynomial[k];
  return r;
}

namespace {

// The first t > 0 where outside(t) holds, bisected between a point inside
// and one outside; 0 when there is none inside.
template <typename Outside>
double Boundary(const Outside& outside) {
  constexpr double kScan = 1e-3;
  constexpr double kFarthest = 1e3;
  double inside = 0;
  double t = kScan;
  while (t <= kFarthest && !outside(t)) {
    inside = t;
    t += kScan;
  }
  if (t > kFarthest) return kFarthest;
  double out = t;
  for (int i = 0; i < 80 && out - inside > 1e-14 * out; ++i) {
    const double middle = (inside + out) / 2;
    (outside(middle) ? out : inside) = middle;
  }
  return inside;
}

// |R(iy)|^2 - 1 as a polynomial in y: with R(iy) = P(y) + i Q(y), the
// coefficients of P^2 + Q^2 - 1. A coefficient that is only what
// cancellation left of its terms (a method that is exactly conservative to
// that order) is zero.
std::vector<double> ImaginaryExcess(const std::vector<double>& gamma) {
  const std::size_t n = gamma.size();
  std::vector<double> p(n, 0.0), q(n, 0.0);
  for (std::size_t k = 0; k < n; ++k) {
    const double sign = (k / 2) % 2 == 0 ? 1 : -1;
    (k % 2 == 0 ? p : q)[k] = sign * gamma[k];
  }
  std::vector<double> excess(2 * n - 1, 0.0), size(2 * n - 1, 0.0);
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = 0; j < n; ++j) {
      excess[i + j] += p[i] * p[j] + q[i] * q[j];
      size[i + j] += std::fabs(p[i] * p[j]) + std::fabs(q[i] * q[j]);
    }
  }
  excess[0] -= 1;
  for (std::size_t k = 0; k < excess.size(); ++k)
    if (std::fabs(excess[k]) <= 1e-13 * size[k]) excess[k] = 0;
  return excess;
}

}  // namespace

StabilityFunction StabilityOf(const Tableau& t) {
  StabilityFunction f;
  if (t.explicit_method()) {
    f.numerator = StabilityPolynomial(t);
  } else if (t.stages == 1) {
    f.numerator = {1, t.b[0] - t.a[0][0]};
    f.denominator = {1, -t.a[0][0]};
  }
  return f;
}

std::complex<double> Stability(const StabilityFunction& f, std::complex<double> z) {
  const std::complex<double> top = Stability(f.numerator, z);
  return f.polynomial() ? top : top / Stability(f.denominator, z);
}

StabilityIntervals AxisIntervals(const StabilityFunction& f) {
  if (f.polynomial()) return AxisIntervals(f.numerator);
  // A rational function: along each half-axis on a geometric scale to 1e12,
  // then bisected; the whole half-axis when it never leaves.
  auto reach = [&](std::complex<double> direction) {
    double inside = 0;
    for (double t = 1e-6; t <= 1e12; t *= 1.1) {
      if (std::norm(Stability(f, t * direction)) <= 1 + 1e-12) {
        inside = t;
        continue;
      }
      double out = t;
      for (int i = 0; i < 80 && out - inside > 1e-14 * out; ++i) {
        const double middle = (inside + out) / 2;
        (std::norm(Stability(f, middle * direction)) <= 1 + 1e-12 ? inside : out) = middle;
      }
      return inside;
    }
    return HUGE_VAL;
  };
  return {reach({-1, 0}), reach({0, 1})};
}

StabilityIntervals AxisIntervals(const std::vector<double>& polynomial) {
  StabilityIntervals intervals;
  intervals.real = Boundary([&](double x) { return std::fabs(Stability(polynomial, {-x, 0}).real()) > 1; });
  const std::vector<double> excess = ImaginaryExcess(polynomial);
  const auto first = std::find_if(excess.begin() + 1, excess.end(), [](double e) { return e != 0; });
  // Growing at once off the origin: the region holds no more of the axis.
  if (first == excess.end() || *first > 0) {
    intervals.imaginary = first == excess.end() ? 1e3 : 0;
    return intervals;
  }
  intervals.imaginary = Boundary([&](double y) {
    double e = 0;
    for (std::size_t k = excess.size(); k-- > 0;) e = e * y + excess[k];
    return e > 0;
  });
  return intervals;
}

}  // namespace kavrin
