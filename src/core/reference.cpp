#include "core/reference.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>
#include <type_traits>
#include <vector>

#include "core/equation.h"
#include "ode/functions.h"
#include "ode/system.h"
#include "ode/wide.h"

namespace kavrin {
namespace {

// The built-in system's reference in 113 significant bits where the compiler
// has them (long double in WebAssembly and on aarch64 Linux, __float128 on
// x86-64), else double-double's 106; typed systems' in long double, whose
// functions (sin, exp, ...) the C++ library provides.
#if LDBL_MANT_DIG >= 113
using Quad = long double;
#elif defined(__SIZEOF_FLOAT128__)
__extension__ using Quad = __float128;
#else
using Quad = DoubleDouble;
#endif

// The unit roundoff of each arithmetic.
template <typename Real>
long double Epsilon() {
  if constexpr (std::is_same_v<Real, DoubleDouble>) {
    return 4.93038065763132e-32L;  // 2^-104
  } else if constexpr (std::is_same_v<Real, long double>) {
    return LDBL_EPSILON;
  } else {
    return 1.925929944387235853055977942584927319e-34L;  // 2^-112
  }
}

// Between an arithmetic and long double.
template <typename T>
long double Long(const T& value) {
  if constexpr (std::is_same_v<T, DoubleDouble>) {
    return ToLong(value);
  } else {
    return static_cast<long double>(value);
  }
}
template <typename T>
T FromLong(long double value) {
  if constexpr (std::is_same_v<T, DoubleDouble>) {
    const auto high = static_cast<double>(value);
    return T(high, static_cast<double>(value - high));
  } else {
    return static_cast<T>(value);
  }
}
template <typename T>
bool IsFiniteNumber(const T& value) {
  return value - value == T(0);
}

struct Series {
  int order;
  long double tolerance;  // relative, per step
};

// The Taylor coefficients a[k], b[k] of y1 and y2 about (x, y1, y2), from the
// recurrences of y1' = y1*y2 + x and y2' = x*y2 + y1.
struct BuiltInExpansion {
  bool operator()(Quad x, Quad y1, Quad y2, int order, std::vector<Quad>& a, std::vector<Quad>& b) const {
    a.assign(static_cast<std::size_t>(order) + 1, Quad(0));
    b.assign(a.size(), Quad(0));
    a[0] = y1;
    b[0] = y2;
    for (std::size_t k = 0; k < static_cast<std::size_t>(order); ++k) {
      Quad product(0);
      for (std::size_t j = 0; j <= k; ++j) product = product + a[j] * b[k - j];
      const Quad n(static_cast<double>(k + 1));
      a[k + 1] = (product + (k == 0 ? x : Quad(0)) + (k == 1 ? Quad(1) : Quad(0))) / n;
      b[k + 1] = ((x * b[k] + (k >= 1 ? b[k - 1] : Quad(0))) + a[k]) / n;
    }
    return true;
  }
  // No function of the built-in system has a kink.
  long double Kink(long double h) const { return h; }
  // The operations of one expansion: the two Cauchy products.
  static std::uint64_t Cost(int order) {
    const auto K = static_cast<std::uint64_t>(order) + 1;
    return K * K;
  }
};

// The Taylor coefficients of a typed system by automatic differentiation:
// every slot of its program as a series, coefficient k of all slots in the
// program's order, each from the classic recurrence of its operation (Cauchy
// products, and the recurrences of Moore for quotients, exp, log, sqrt, the
// pairs sin/cos and sinh/cosh, tan, tanh, asin, acos and atan, each in its
// row of the function table), then
// y1[k+1] = f1[k]/(k+1) and y2[k+1] = f2[k]/(k+1).
class TypedExpansion {
 public:
  using Real = long double;
  explicit TypedExpansion(const Program& program) : m_program(program) {}

  bool operator()(Real x, Real y1, Real y2, int order, std::vector<Real>& a, std::vector<Real>& b) {
    const auto K = static_cast<std::size_t>(order) + 1;
    const std::size_t slots = m_program.slot_count();
    m_c.assign(slots, std::vector<Real>(K, 0));
    m_aux.assign(slots, std::vector<Real>(K, 0));
    m_aux2.assign(slots, std::vector<Real>(K, 0));
    m_sign.assign(slots, 0);
    m_c[0][0] = x;
    if (K > 1) m_c[0][1] = 1;
    m_c[1][0] = y1;
    m_c[2][0] = y2;
    for (std::size_t k = 0; k + 1 < K; ++k) {
      for (std::size_t i = 0; i < m_program.code.size(); ++i)
        if (!Coefficient(i, k)) return false;
      const Real n = static_cast<Real>(k + 1);
      m_c[1][k + 1] = m_c[m_program.f1][k] / n;
      m_c[2][k + 1] = m_c[m_program.f2][k] / n;
    }
    a = m_c[1];
    b = m_c[2];
    return true;
  }

  // The longest step up to h over which no argument of a function with a
  // kink (abs) changes sign: where one does, the step ends at the change
  // (found by bisection), and the next series starts there with the new sign.
  long double Kink(long double h) const {
    for (std::size_t i = 0; i < m_program.code.size(); ++i) {
      const Instruction& in = m_program.code[i];
      if (in.op != Op::Function || !Functions()[in.function].kink) continue;
      const std::vector<Real>& series = m_c[m_program.code[i].a];
      auto value = [&series](long double t) {
        Real v = series.back();
        for (std::size_t k = series.size() - 1; k-- > 0;) v = v * t + series[k];
        return v;
      };
      const long double sign = m_sign[i + 3];
      if (sign * value(h) >= 0) continue;
      long double low = 0;
      long double high = h;
      for (int j = 0; j < 200 && low != high; ++j) {
        const long double middle = low + (high - low) / 2;
        if (middle == low || middle == high) break;
        (sign * value(middle) >= 0 ? low : high) = middle;
      }
      h = high;
    }
    return h;
  }

  // The direction the integration runs in, for the sign of abs at a kink.
  void set_direction(long double direction) { m_direction = direction; }

  // The operations of one expansion: each instruction's coefficients, the
  // products and recurrences taking up to k operations for the k-th.
  std::uint64_t Cost(int order) const {
    const auto K = static_cast<std::uint64_t>(order) + 1;
    return m_program.code.size() * K * (K + 1) / 2 + K;
  }

 private:
  // Coefficient k of instruction i's slot: the arithmetic here, each
  // function by the recurrence of its row.
  bool Coefficient(std::size_t i, std::size_t k) {
    const Instruction& in = m_program.code[i];
    const std::size_t s = i + 3;
    std::vector<Real>& r = m_c[s];
    const std::vector<Real>& a = m_c[in.a];
    const std::vector<Real>& b = m_c[in.b];
    switch (in.op) {
      case Op::Constant:
        r[k] = k == 0 ? in.wide : 0;
        return true;
      case Op::Add:
        r[k] = a[k] + b[k];
        return true;
      case Op::Subtract:
        r[k] = a[k] - b[k];
        return true;
      case Op::Negate:
        r[k] = -a[k];
        return true;
      case Op::Multiply:
        r[k] = Cauchy(a.data(), b.data(), k);
        return true;
      case Op::Divide:
        return Quotient(a, b, r, k);
      case Op::Power:
        return RealPower(a, b, s, k);
      case Op::Function:
        return Functions()[in.function].taylor(
            {a.data(), b.data(), r.data(), m_aux[s].data(), m_aux2[s].data(), k, &m_sign[s], m_direction});
    }
    return false;
  }

  // r = a / b: b_0 r_k = a_k - sum b_j r_(k-j), 0 < j <= k.
  static bool Quotient(const std::vector<Real>& a, const std::vector<Real>& b, std::vector<Real>& r, std::size_t k) {
    if (b[0] == 0) return false;
    Real sum = 0;
    for (std::size_t j = 1; j <= k; ++j) sum += b[j] * r[k - j];
    r[k] = (a[k] - sum) / b[0];
    return IsFiniteNumber(r[k]);
  }

  // a^b = exp(b log a): u = log a, w = b u, r = exp(w).
  bool RealPower(const std::vector<Real>& a, const std::vector<Real>& b, std::size_t s, std::size_t k) {
    std::vector<Real>& r = m_c[s];
    std::vector<Real>& u = m_aux[s];
    std::vector<Real>& w = m_aux2[s];
    if (!(a[0] > 0)) return false;
    const Real kk = static_cast<Real>(k);
    u[k] = k == 0 ? std::log(a[0]) : (a[k] - (k > 1 ? Weighted(u.data(), a.data(), k, 1, k - 1) / kk : 0)) / a[0];
    w[k] = Cauchy(b.data(), u.data(), k);
    r[k] = k == 0 ? std::pow(a[0], b[0]) : Weighted(w.data(), r.data(), k, 1, k) / kk;
    return IsFiniteNumber(r[k]);
  }

  const Program& m_program;
  std::vector<std::vector<Real>> m_c;
  std::vector<std::vector<Real>> m_aux;
  std::vector<std::vector<Real>> m_aux2;
  std::vector<long double> m_sign;
  long double m_direction = 1;
};

template <typename Real>
void Evaluate(const std::vector<Real>& a, const std::vector<Real>& b, Real t, Real& y1, Real& y2) {
  y1 = a.back();
  y2 = b.back();
  for (std::size_t k = a.size() - 1; k-- > 0;) {
    y1 = y1 * t + a[k];
    y2 = y2 * t + b[k];
  }
}

// The work a reference has done against its limit, its cancel flag, and its
// progress over its two integrations.
class Budget {
 public:
  Budget(const ReferenceLimits& limits, double x0, double x1) : m_limits(limits), m_x0(x0), m_x1(x1) {}

  // Spends the work of one expansion: None while there is work left and no
  // one has cancelled.
  Reference::Stop Spend(std::uint64_t work) {
    m_used += work;
    if (m_limits.cancel != nullptr && m_limits.cancel->load(std::memory_order_relaxed))
      return Reference::Stop::Cancelled;
    return m_used > m_limits.work ? Reference::Stop::OverBudget : Reference::Stop::None;
  }
  // Tells how far integration `pass` (0 or 1) has come: the larger of the
  // distance covered and the work spent.
  void Reached(int pass, double x) {
    if (!m_limits.progress) return;
    const double covered = m_x1 == m_x0 ? 1 : (x - m_x0) / (m_x1 - m_x0);
    const double spent = static_cast<double>(m_used) / static_cast<double>(m_limits.work);
    m_limits.progress(std::min(1.0, std::max((pass + covered) / 2, spent)));
  }

 private:
  const ReferenceLimits& m_limits;
  double m_x0, m_x1;
  std::uint64_t m_used = 0;
};

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

// From `start` to x1. Each step is taken where the last terms of the series
// fall below the tolerance, ends at any kink of the system, and is confirmed
// by two half steps, so that no step can reach past a singularity of the
// solution. Stop::None when it reached x1; else why it did not, `reached`
// saying how far it came and `h` the step it last tried.
template <typename Real, typename Expansion>
Reference::Stop Integrate(Expansion expand, const State<double>& start, const Series& s, double x1, Real& y1, Real& y2,
                          double& reached, long double& h, Budget& budget, int pass) {
  using Stop = Reference::Stop;
  std::vector<Real> a, b, middle_a, middle_b;
  Real x(start.x);
  y1 = Real(start.y1);
  y2 = Real(start.y2);
  reached = start.x;
  const Real target(x1);
  const long double direction = x1 < start.x ? -1 : 1;
  if constexpr (std::is_same_v<Expansion, TypedExpansion>) expand.set_direction(direction);
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

}  // namespace

bool Reference::valid() const { return reached_x1 && std::isfinite(error_bound); }

const char* ReferenceArithmetic() { return std::is_same_v<Quad, DoubleDouble> ? "106-bit double-double" : "113-bit"; }

Reference BuiltInReference(double x1, const ReferenceSettings& settings, const ReferenceLimits& limits) {
  return Solve<Quad>(BuiltInExpansion{}, BuiltInSystem::kStart, x1, settings, limits);
}

Reference TypedReference(const OwnSystem& system, double x1, const ReferenceSettings& settings,
                         const ReferenceLimits& limits) {
  // Long double carries fewer digits than the built-in reference's 113 bits:
  // tolerances it can reach.
  ReferenceSettings typed = settings;
  typed.fine_tolerance = std::max(settings.fine_tolerance, 1e-21L);
  typed.coarse_tolerance = std::max(settings.coarse_tolerance, 1e-18L);
  return Solve<long double>(TypedExpansion(system.system.program), system.system.start, x1, typed, limits);
}

bool TypedSeries(const OwnSystem& system, long double x, long double y1, long double y2, int order,
                 std::vector<long double>& a, std::vector<long double>& b) {
  return TypedExpansion(system.system.program)(x, y1, y2, order, a, b);
}

}  // namespace kavrin
