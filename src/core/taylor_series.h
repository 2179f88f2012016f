#pragma once

// The Taylor series the references are summed from: the expansions of the
// built-in system and of typed systems about a point, in any of the wide
// arithmetics, and the budget that bounds a reference's work. Inside core only.
#include <algorithm>
#include <atomic>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>
#include <vector>

#include "core/reference.h"
#include "ode/functions.h"
#include "ode/program.h"
#include "ode/system.h"
#include "ode/wide.h"

namespace kavrin::taylor {

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
template <typename Real>
struct BuiltInExpansionOf {
  bool operator()(Real x, Real y1, Real y2, int order, std::vector<Real>& a, std::vector<Real>& b) const {
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
    return true;
  }
  // No function of the built-in system has a kink.
  template <typename Step>
  Step Kink(Step h) const {
    return h;
  }
  // The operations of one expansion: the two Cauchy products.
  static std::uint64_t Cost(int order) {
    const auto K = static_cast<std::uint64_t>(order) + 1;
    return K * K;
  }
};
using BuiltInExpansion = BuiltInExpansionOf<Quad>;

// The Taylor coefficients of a typed system by automatic differentiation:
// every slot of its program as a series, coefficient k of all slots in the
// program's order, each from the classic recurrence of its operation (Cauchy
// products, and the recurrences of Moore for quotients, exp, log, sqrt, the
// pairs sin/cos and sinh/cosh, tan, tanh, asin, acos and atan, each in its
// row of the function table), then
// y1[k+1] = f1[k]/(k+1) and y2[k+1] = f2[k]/(k+1).
template <typename Real>
class TypedExpansionOf {
 public:
  explicit TypedExpansionOf(const Program& program) : m_program(program) {}

  bool operator()(Real x, Real y1, Real y2, int order, std::vector<Real>& a, std::vector<Real>& b) {
    const auto K = static_cast<std::size_t>(order) + 1;
    const std::size_t slots = m_program.slot_count();
    m_c.assign(slots, std::vector<Real>(K, Real(0)));
    m_aux.assign(slots, std::vector<Real>(K, Real(0)));
    m_aux2.assign(slots, std::vector<Real>(K, Real(0)));
    m_sign.assign(slots, 0);
    m_c[0][0] = x;
    if (K > 1) m_c[0][1] = Real(1);
    m_c[1][0] = y1;
    m_c[2][0] = y2;
    for (std::size_t k = 0; k + 1 < K; ++k) {
      for (std::size_t i = 0; i < m_program.code.size(); ++i)
        if (!Coefficient(i, k)) return false;
      const Real n(static_cast<double>(k + 1));
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
  template <typename Step>
  Step Kink(Step h) const {
    for (std::size_t i = 0; i < m_program.code.size(); ++i) {
      const Instruction& in = m_program.code[i];
      if (in.op != Op::Function || !Functions()[in.function].kink) continue;
      const std::vector<Real>& series = m_c[m_program.code[i].a];
      const Real sign(static_cast<double>(m_sign[i + 3]));
      // The argument on this side of the kink, at t.
      auto keeps_sign = [&series, &sign](const Step& t) {
        Real v = series.back();
        for (std::size_t k = series.size() - 1; k-- > 0;) v = v * Real(t) + series[k];
        return NotBelowZero(sign * v);
      };
      if (keeps_sign(h)) continue;
      Step low(0);
      Step high = h;
      for (int j = 0; j < 200 && !(low == high); ++j) {
        const Step middle = low + (high - low) / Step(2);
        if (middle == low || middle == high) break;
        (keeps_sign(middle) ? low : high) = middle;
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
  static bool NotBelowZero(const Real& v) {
    if constexpr (std::is_same_v<Real, DoubleDouble>) {
      return v.hi >= 0;
    } else {
      return v >= 0;
    }
  }

  // A function's recurrence in this arithmetic.
  static bool Term(const FunctionRow& row, const TaylorTermOf<Real>& term) {
    if constexpr (std::is_same_v<Real, DoubleDouble>) {
      return row.taylor_dd(term);
    } else {
      return row.taylor(term);
    }
  }

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
        r[k] = k == 0 ? ConstantAs<Real>(in) : Real(0);
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
        return Term(Functions()[in.function],
                    {a.data(), b.data(), r.data(), m_aux[s].data(), m_aux2[s].data(), k, &m_sign[s], m_direction});
    }
    return false;
  }

  // r = a / b: b_0 r_k = a_k - sum b_j r_(k-j), 0 < j <= k.
  static bool Quotient(const std::vector<Real>& a, const std::vector<Real>& b, std::vector<Real>& r, std::size_t k) {
    if (b[0] == Real(0)) return false;
    Real sum(0);
    for (std::size_t j = 1; j <= k; ++j) sum = sum + b[j] * r[k - j];
    r[k] = (a[k] - sum) / b[0];
    return IsFiniteNumber(r[k]);
  }

  // a^b = exp(b log a): u = log a, w = b u, r = exp(w).
  bool RealPower(const std::vector<Real>& a, const std::vector<Real>& b, std::size_t s, std::size_t k) {
    std::vector<Real>& r = m_c[s];
    std::vector<Real>& u = m_aux[s];
    std::vector<Real>& w = m_aux2[s];
    if (!(a[0] > Real(0))) return false;
    const Real kk(static_cast<double>(k));
    u[k] = k == 0 ? FromLong<Real>(std::log(Long(a[0])))
                  : (a[k] - (k > 1 ? Weighted(u.data(), a.data(), k, 1, k - 1) / kk : Real(0))) / a[0];
    w[k] = Cauchy(b.data(), u.data(), k);
    r[k] = k == 0 ? FromLong<Real>(std::pow(Long(a[0]), Long(b[0]))) : Weighted(w.data(), r.data(), k, 1, k) / kk;
    return IsFiniteNumber(r[k]);
  }

  const Program& m_program;
  std::vector<std::vector<Real>> m_c;
  std::vector<std::vector<Real>> m_aux;
  std::vector<std::vector<Real>> m_aux2;
  std::vector<long double> m_sign;
  long double m_direction = 1;
};
using TypedExpansion = TypedExpansionOf<long double>;

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
  Budget(const ReferenceLimits& limits, double x0, double x1, int passes = 2)
      : m_limits(limits), m_x0(x0), m_x1(x1), m_passes(passes) {}

  // Spends the work of one expansion: None while there is work left and no
  // one has cancelled.
  Reference::Stop Spend(std::uint64_t work) {
    m_used += work;
    if (m_limits.cancel != nullptr && m_limits.cancel->load(std::memory_order_relaxed))
      return Reference::Stop::Cancelled;
    return m_used > m_limits.work ? Reference::Stop::OverBudget : Reference::Stop::None;
  }
  // Tells how far integration `pass` (from 0) has come: the larger of the
  // distance covered and the work spent.
  void Reached(int pass, double x) {
    if (!m_limits.progress) return;
    const double covered = m_x1 == m_x0 ? 1 : (x - m_x0) / (m_x1 - m_x0);
    const double spent = static_cast<double>(m_used) / static_cast<double>(m_limits.work);
    m_limits.progress(std::min(1.0, std::max((pass + covered) / m_passes, spent)));
  }

 private:
  const ReferenceLimits& m_limits;
  double m_x0, m_x1;
  int m_passes;
  std::uint64_t m_used = 0;
};

}  // namespace kavrin::taylor
