#include "core/reference.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>
#include <type_traits>
#include <vector>

#include "ode/system.h"
#include "ode/wide.h"

namespace kavrin {
namespace {

// The reference's arithmetic: 113 significant bits where the compiler has
// them (long double in WebAssembly and on aarch64 Linux, __float128 on
// x86-64), else double-double's 106.
#if LDBL_MANT_DIG >= 113
using Real = long double;
constexpr long double kEpsilon = LDBL_EPSILON;
#elif defined(__SIZEOF_FLOAT128__)
__extension__ using Real = __float128;
constexpr long double kEpsilon = 1.925929944387235853055977942584927319e-34L;  // 2^-112
#else
using Real = DoubleDouble;
constexpr long double kEpsilon = 4.93038065763132e-32L;  // 2^-104
#endif

// Between the reference's arithmetic and long double.
template <typename T>
long double Long(const T& value) {
  if constexpr (std::is_same_v<T, DoubleDouble>) {
    return ToLong(value);
  } else {
    return static_cast<long double>(value);
  }
}
template <typename T = Real>
T FromLong(long double value) {
  if constexpr (std::is_same_v<T, DoubleDouble>) {
    const auto high = static_cast<double>(value);
    return T(high, static_cast<double>(value - high));
  } else {
    return static_cast<T>(value);
  }
}
bool Finite(const Real& value) { return value - value == Real(0); }

struct Series {
  int order;
  long double tolerance;  // relative, per step
};

// The Taylor coefficients a[k], b[k] of y1 and y2 about (x, y1, y2), from the
// recurrences of y1' = y1*y2 + x and y2' = x*y2 + y1.
void BuiltInExpansion(Real x, Real y1, Real y2, int order, std::vector<Real>& a, std::vector<Real>& b) {
  a.assign(static_cast<std::size_t>(order) + 1, Real(0));
  b.assign(a.size(), Real(0));
  a[0] = y1;
  b[0] = y2;
  for (std::size_t k = 0; k < static_cast<std::size_t>(order); ++k) {
    Real product(0);
    for (std::size_t j = 0; j <= k; ++j) product = product + a[j] * b[k - j];
    const Real n(static_cast<double>(k + 1));
    a[k + 1] = (product + (k == 0 ? x : Real(0)) + (k == 1 ? Real(1) : Real(0))) / n;
    b[k + 1] = ((x * b[k] + (k >= 1 ? b[k - 1] : Real(0))) + a[k]) / n;
  }
}

void Evaluate(const std::vector<Real>& a, const std::vector<Real>& b, Real t, Real& y1, Real& y2) {
  y1 = a.back();
  y2 = b.back();
  for (std::size_t k = a.size() - 1; k-- > 0;) {
    y1 = y1 * t + a[k];
    y2 = y2 * t + b[k];
  }
}

// From `start` to x1. Each step is taken where the last terms of the series
// fall below the tolerance and confirmed by two half steps, so that no step
// can reach past a singularity of the solution. False when the solution
// cannot be continued to x1; `reached` says how far it came.
template <typename Expansion>
bool Integrate(const Expansion& expand, const State<double>& start, const Series& s, double x1, Real& y1, Real& y2,
               double& reached) {
  std::vector<Real> a, b, middle_a, middle_b;
  Real x(start.x);
  y1 = Real(start.y1);
  y2 = Real(start.y2);
  reached = start.x;
  const Real target(x1);
  const Real direction(x1 < start.x ? -1.0 : 1.0);
  long double last = HUGE_VALL;
  for (int step = 0; direction * (target - x) > Real(0); ++step) {
    if (step > 100'000) return false;
    expand(x, y1, y2, s.order, a, b);
    // The radius of convergence, estimated from the last two coefficients.
    long double radius = HUGE_VALL;
    for (int k = s.order - 1; k <= s.order; ++k) {
      const auto i = static_cast<std::size_t>(k);
      const long double c = std::max(std::fabs(Long(a[i])), std::fabs(Long(b[i])));
      if (c > 0) radius = std::min(radius, std::pow(c, -1.0L / k));
    }
    const long double left = std::fabs(Long(target - x));
    long double h = std::min({left, radius * std::pow(s.tolerance, 1.0L / s.order), 2 * last});
    Real n1(0), n2(0);
    for (;;) {
      // A step halved this small means a singularity ahead; a small last
      // piece up to x1 is fine.
      if (!(h > 1e-12L * (1 + std::fabs(Long(x)))) && h < left) return false;
      const Real hl = h == left ? target - x : direction * FromLong(h);
      Evaluate(a, b, hl, n1, n2);
      Real m1(0), m2(0);
      Evaluate(a, b, hl / Real(2), m1, m2);
      expand(x + hl / Real(2), m1, m2, s.order, middle_a, middle_b);
      Real c1(0), c2(0);
      Evaluate(middle_a, middle_b, hl / Real(2), c1, c2);
      const long double size = 1 + std::max(std::fabs(Long(n1)), std::fabs(Long(n2)));
      const long double limit = std::max(1e3L * s.tolerance, 64 * kEpsilon) * size;
      if (Finite(n1) && Finite(n2) && std::max(std::fabs(Long(n1 - c1)), std::fabs(Long(n2 - c2))) <= limit) {
        x = h == left ? target : x + hl;
        break;
      }
      h /= 2;
    }
    if (std::max(std::fabs(Long(n1)), std::fabs(Long(n2))) > 1e300L) return false;
    y1 = n1;
    y2 = n2;
    last = h;
    reached = static_cast<double>(Long(x));
  }
  return true;
}

// Two integrations of different order and tolerance; the coarser one's
// distance, doubled, bounds the finer one's error, which is far smaller.
template <typename Expansion>
Reference Solve(const Expansion& expand, const State<double>& start, double x1, const ReferenceSettings& settings) {
  Reference r;
  Real y1(0), y2(0), c1(0), c2(0);
  double reached_coarse = 0;
  if (!Integrate(expand, start, {settings.fine_order, settings.fine_tolerance}, x1, y1, y2, r.reached) ||
      !Integrate(expand, start, {settings.coarse_order, settings.coarse_tolerance}, x1, c1, c2, reached_coarse)) {
    r.error = HUGE_VAL;
    r.reached =
        std::min(std::fabs(r.reached - start.x), std::fabs(reached_coarse - start.x)) * (x1 < start.x ? -1 : 1) +
        start.x;
    return r;
  }
  r.y1 = Long(y1);
  r.y2 = Long(y2);
  const long double spread = std::max(std::fabs(Long(y1 - c1)), std::fabs(Long(y2 - c2)));
  const long double scale = std::max(std::fabs(r.y1), std::fabs(r.y2));
  // The answer is kept in long double: its last place counts too.
  const long double kept = std::numeric_limits<long double>::epsilon() * scale;
  r.error = static_cast<double>(2 * spread + kept + 64 * kEpsilon * scale);
  return r;
}

}  // namespace

bool Reference::valid() const { return std::isfinite(error); }

const char* ReferenceArithmetic() { return std::is_same_v<Real, DoubleDouble> ? "106-bit double-double" : "113-bit"; }

Reference BuiltInReference(double x1, const ReferenceSettings& settings) {
  return Solve([](const Real& x, const Real& y1, const Real& y2, int order, std::vector<Real>& a,
                  std::vector<Real>& b) { BuiltInExpansion(x, y1, y2, order, a, b); },
               BuiltInSystem::kStart, x1, settings);
}

}  // namespace kavrin
