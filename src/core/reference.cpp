#include "core/reference.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>
#include <type_traits>
#include <vector>

#include "core/equation.h"
#include "core/taylor_series.h"
#include "ode/functions.h"
#include "ode/system.h"
#include "ode/wide.h"

namespace kavrin {
namespace {

using namespace taylor;

// The most steps one integration takes.
constexpr int kMaxSteps = 100'000;

// The step whose last terms fall below the series' tolerance, from the radius
// of convergence estimated from the last two coefficients.
template <typename Real>
long double StepWithin(const std::vector<Real>& a, const std::vector<Real>& b, const Series& s) {
  long double radius = HUGE_VALL;
  for (int k = s.order - 1; k <= s.order; ++k) {
    const auto i = static_cast<std::size_t>(k);
    const long double c = std::max(std::fabs(Long(a[i])), std::fabs(Long(b[i])));
    if (c > 0) radius = std::min(radius, std::pow(c, -1.0L / k));
  }
  return radius * std::pow(s.tolerance, 1.0L / s.order);
}

// What an integration does with each step it takes: nothing, for a reference at x1 alone.
struct NoDense {
  template <typename Real>
  void operator()(const Real&, const Real&, const std::vector<Real>&, const std::vector<Real>&, bool) const {}
};

// From `start` to x1. Each step is taken where the last terms of the series
// fall below the tolerance, ends at any kink of the system, and is confirmed
// by two half steps, so that no step can reach past a singularity of the
// solution. Stop::None when it reached x1; else why it did not, `reached`
// saying how far it came and `h` the step it last tried. Each accepted step
// is handed to `dense` as its start, its length, its series and whether it
// is the last.
template <typename Real, typename Expansion, typename Dense = NoDense>
Reference::Stop Integrate(Expansion expand, const State<double>& start, const Series& s, double x1, Real& y1, Real& y2,
                          double& reached, long double& h, Budget& budget, int pass, const Dense& dense = {}) {
  using Stop = Reference::Stop;
  std::vector<Real> a, b, middle_a, middle_b;
  Real x(start.x);
  y1 = Real(start.y1);
  y2 = Real(start.y2);
  reached = start.x;
  const Real target(x1);
  const long double direction = x1 < start.x ? -1 : 1;
  if constexpr (!std::is_same_v<Expansion, BuiltInExpansion>) expand.set_direction(direction);
  long double last = HUGE_VALL;
  h = 0;
  for (int step = 0; Real(direction) * (target - x) > Real(0); ++step) {
    if (step > kMaxSteps) return Stop::OverBudget;
    if (const Stop spent = budget.Spend(expand.Cost(s.order)); spent != Stop::None) return spent;
    if (!expand(x, y1, y2, s.order, a, b)) return Stop::Singular;
    const long double left = std::fabs(Long(target - x));
    h = std::min({left, StepWithin(a, b, s), 2 * last});
    // A kink of the system ahead ends the step there.
    const long double kink = std::fabs(expand.Kink(direction * h));
    const bool at_kink = kink < h;
    h = std::min(h, kink);
    Real n1(0), n2(0);
    for (;;) {
      // A step halved this small means a singularity ahead; a small last
      // piece up to x1 (or a kink) is fine.
      if (!(h > 1e-12L * (1 + std::fabs(Long(x)))) && h < left && !at_kink) return Stop::Singular;
      const Real hl = h == left ? target - x : FromLong<Real>(direction * h);
      Evaluate(a, b, hl, n1, n2);
      Real m1(0), m2(0);
      Evaluate(a, b, hl / Real(2), m1, m2);
      if (const Stop spent = budget.Spend(expand.Cost(s.order)); spent != Stop::None) return spent;
      if (!expand(x + hl / Real(2), m1, m2, s.order, middle_a, middle_b)) return Stop::Singular;
      Real c1(0), c2(0);
      Evaluate(middle_a, middle_b, hl / Real(2), c1, c2);
      const long double size = 1 + std::max(std::fabs(Long(n1)), std::fabs(Long(n2)));
      const long double limit = std::max(1e3L * s.tolerance, 64 * Epsilon<Real>()) * size;
      if (IsFiniteNumber(n1) && IsFiniteNumber(n2) &&
          std::max(std::fabs(Long(n1 - c1)), std::fabs(Long(n2 - c2))) <= limit) {
        dense(x, hl, a, b, h == left);
        x = h == left ? target : x + hl;
        break;
      }
      h /= 2;
      if (at_kink && !(h > 1e-12L * (1 + std::fabs(Long(x))))) return Stop::Singular;
    }
    if (std::max(std::fabs(Long(n1)), std::fabs(Long(n2))) > 1e300L) return Stop::Singular;
    y1 = n1;
    y2 = n2;
    last = h;
    reached = static_cast<double>(Long(x));
    budget.Reached(pass, reached);
  }
  return Stop::None;
}

// Two integrations of different order and tolerance; the coarser one's
// distance, doubled, bounds the finer one's error, which is far smaller.
template <typename Real, typename Expansion>
Reference Solve(const Expansion& expand, const State<double>& start, double x1, const ReferenceSettings& settings,
                const ReferenceLimits& limits) {
  Reference r;
  Budget budget(limits, start.x, x1);
  Real y1(0), y2(0), c1(0), c2(0);
  long double h = 0;
  // Where either integration stops, so does the reference.
  r.stop = Integrate<Real>(expand, start, {settings.fine_order, settings.fine_tolerance}, x1, y1, y2, r.reached, h,
                           budget, 0);
  if (r.stop == Reference::Stop::None)
    r.stop = Integrate<Real>(expand, start, {settings.coarse_order, settings.coarse_tolerance}, x1, c1, c2, r.reached,
                             h, budget, 1);
  if (r.stop != Reference::Stop::None) {
    r.last_step = static_cast<double>(h);
    return r;
  }
  r.reached_x1 = true;

  r.y1 = Long(y1);
  r.y2 = Long(y2);
  const long double spread = std::max(std::fabs(Long(y1 - c1)), std::fabs(Long(y2 - c2)));
  const long double scale = std::max(std::fabs(r.y1), std::fabs(r.y2));
  // The answer is kept in long double: its last place counts too.
  const long double kept = std::numeric_limits<long double>::epsilon() * scale;
  r.error_bound = static_cast<double>(2 * spread + kept + 64 * Epsilon<Real>() * scale);
  return r;
}

// The reference at the march's x inside each step: the step's series summed
// there, its small high terms in double and the rest in double-double,
// whose result rounds to the same double on every machine (the
// coefficients agree far below its last place). Which terms a point needs
// is decided from powers of two alone, the same everywhere.
template <typename Real>
struct DenseFill {
  double h;
  std::size_t count;
  std::size_t* next;
  double* x_next;  // the march's x at *next
  ReferencePath* path;
  long double direction;

  // Terms below 2^kDropped of the values are left out; those below
  // 2^kInDouble are summed in double.
  static constexpr int kDropped = -80;
  static constexpr int kInDouble = -30;

  void operator()(const Real& x, const Real& hl, const std::vector<Real>& a, const std::vector<Real>& b,
                  bool last) const {
    std::size_t j = *next;
    double xj = *x_next;
    // In double-double from here on: the step's start and end, and each x's distance from the start.
    const DoubleDouble start = Split(x);
    const DoubleDouble end = Split(x + hl);
    const DoubleDouble sign(static_cast<double>(direction));
    auto inside = [&](double xi) { return last || !(sign * (DoubleDouble(xi) - end) > DoubleDouble(0)); };
    if (j >= count || !inside(xj)) return;
    const double length = std::fabs(Split(hl).hi);
    const std::size_t terms = a.size();
    std::vector<DoubleDouble> wa(terms), wb(terms);
    // Each term's size at the step's end, as a power of two it stays below.
    std::vector<double> bound(terms);
    double power = 1;
    for (std::size_t k = 0; k < terms; ++k) {
      wa[k] = Split(a[k]);
      wb[k] = Split(b[k]);
      const double size = std::max(std::fabs(wa[k].hi), std::fabs(wb[k].hi)) * power;
      bound[k] = size > 0 ? std::ilogb(size) + 1 : -HUGE_VAL;
      power *= length;
    }
    const double scale = std::max(0, std::ilogb(1 + std::max(std::fabs(wa[0].hi), std::fabs(wb[0].hi))) + 1);
    for (; j < count && inside(xj); ++j, xj = xj + h) {
      const DoubleDouble t = DoubleDouble(xj) - start;
      // t/length < 2^((e+1)/16), from its 16th power.
      double r = length > 0 ? std::fabs(t.hi) / length : 0;
      for (int i = 0; i < 4; ++i) r *= r;
      const double e = r > 0 ? (std::ilogb(r) + 1) / 16.0 : -HUGE_VAL;
      const auto size = [&](std::size_t k) { return k == 0 ? scale : bound[k] + static_cast<double>(k) * e; };
      std::size_t top = terms;
      while (top > 1 && !(size(top - 1) > scale + kDropped)) --top;
      std::size_t low = top;
      while (low > 1 && !(size(low - 1) > scale + kInDouble)) --low;
      double s1 = 0, s2 = 0;
      for (std::size_t k = top; k-- > low;) {
        s1 = s1 * t.hi + wa[k].hi;
        s2 = s2 * t.hi + wb[k].hi;
      }
      DoubleDouble v1(s1), v2(s2);
      for (std::size_t k = low; k-- > 0;) {
        v1 = v1 * t + wa[k];
        v2 = v2 * t + wb[k];
      }
      path->y1[j] = static_cast<double>(v1);
      path->y2[j] = static_cast<double>(v2);
    }
    *next = j;
    *x_next = xj;
  }

  // A number as double-double: its nearest double and what that leaves.
  static DoubleDouble Split(const Real& value) {
    if constexpr (std::is_same_v<Real, DoubleDouble>) {
      return value;
    } else {
      const auto high = static_cast<double>(value);
      return {high, static_cast<double>(value - Real(high))};
    }
  }
};

// The reference at each of the march's x by one integration of high order
// to the last of them; where it stops short, the rest are left NaN.
// The series of the reference along x: of low order, so that its steps are
// short and a point inside one needs few terms, most of them in double.
struct AlongSettings {
  int order = 12;
  long double tolerance = 1e-28L;
};

template <typename Real, typename Expansion>
ReferencePath SolveAlong(const Expansion& expand, const State<double>& start, double h, std::size_t count,
                         const AlongSettings& settings, const ReferenceLimits& limits) {
  ReferencePath path;
  path.y1.assign(count, std::numeric_limits<double>::quiet_NaN());
  path.y2 = path.y1;
  if (count == 0) return path;
  double last = start.x;
  for (std::size_t i = 1; i < count; ++i) last = last + h;
  Budget budget(limits, start.x, last, 1);
  std::size_t next = 0;
  double x_next = start.x;
  const DenseFill<Real> fill{h, count, &next, &x_next, &path, last < start.x ? -1.0L : 1.0L};
  Real y1(0), y2(0);
  long double tried = 0;
  path.stop = Integrate<Real>(expand, start, {settings.order, settings.tolerance}, last, y1, y2, path.reached, tried,
                              budget, 0, fill);
  if (path.stop != Reference::Stop::None) {
    path.last_step = static_cast<double>(tried);
    return path;
  }
  path.reached = last;
  // A march that never left its start (x1 = x0) takes no step.
  for (; next < count && x_next == start.x; ++next, x_next = x_next + h) {
    path.y1[next] = start.y1;
    path.y2[next] = start.y2;
  }
  return path;
}

ReferenceSettings TypedSettings(const ReferenceSettings& settings) {
  // Long double carries fewer digits than the built-in reference's 113 bits:
  // tolerances it can reach.
  ReferenceSettings typed = settings;
  typed.fine_tolerance = std::max(settings.fine_tolerance, 1e-21L);
  typed.coarse_tolerance = std::max(settings.coarse_tolerance, 1e-18L);
  return typed;
}

}  // namespace

bool Reference::valid() const { return reached_x1 && std::isfinite(error_bound); }

const char* ReferenceArithmetic() { return std::is_same_v<Quad, DoubleDouble> ? "106-bit double-double" : "113-bit"; }

Reference BuiltInReference(double x1, const ReferenceSettings& settings, const ReferenceLimits& limits) {
  return Solve<Quad>(BuiltInExpansion{}, BuiltInSystem::kStart, x1, settings, limits);
}

Reference TypedReference(const OwnSystem& system, double x1, const ReferenceSettings& settings,
                         const ReferenceLimits& limits) {
  return Solve<long double>(TypedExpansion(system.system.program), system.system.start, x1, TypedSettings(settings),
                            limits);
}

ReferencePath BuiltInReferencePath(double h, std::size_t count, const ReferenceLimits& limits) {
  return SolveAlong<Quad>(BuiltInExpansion{}, BuiltInSystem::kStart, h, count, AlongSettings{}, limits);
}

ReferencePath TypedReferencePath(const OwnSystem& system, double h, std::size_t count, const ReferenceLimits& limits) {
  // In double-double on every machine, so that every machine rounds it to
  // the same doubles. Its functions' values, where they come through long
  // double, carry only its digits: a tolerance within their reach.
  AlongSettings settings;
  if (!FunctionsInQuad()) settings.tolerance = std::max(settings.tolerance, 0.01L * LDBL_EPSILON);
  return SolveAlong<DoubleDouble>(TypedExpansionOf<DoubleDouble>(system.system.program), system.system.start, h, count,
                                  settings, limits);
}

bool TypedSeries(const OwnSystem& system, long double x, long double y1, long double y2, int order,
                 std::vector<long double>& a, std::vector<long double>& b) {
  return TypedExpansion(system.system.program)(x, y1, y2, order, a, b);
}

}  // namespace kavrin
