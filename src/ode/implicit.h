#pragma once

#include <cmath>
#include <limits>
#include <type_traits>

#include "ode/jacobian.h"
#include "ode/method_row.h"
#include "ode/system.h"
#include "ode/tableau.h"
#include "ode/wide.h"

namespace kavrin {

// The most Newton iterations a step takes before it gives up.
inline constexpr int kNewtonIterations = 50;

namespace detail {

template <typename Real>
double AsDouble(const Real& v) {
  return static_cast<double>(v);
}

// The rounding unit of an arithmetic.
template <typename Real>
double Unit() {
  if constexpr (std::is_same_v<Real, DoubleDouble>) {
    return 0x1p-104;
  } else {
    return static_cast<double>(std::numeric_limits<Real>::epsilon());
  }
}

// Solves Y = y + c h f(x + c h, Y) by Newton's method with the exact 2x2
// Jacobian (taken in double at each iterate), from the explicit Euler
// guess. Until the correction is below the arithmetic's rounding (or stops
// shrinking); false when it does not converge or the Jacobian is singular.
template <typename System, typename Real>
bool SolveStage(const System& system, const State<Real>& s, Real h, Real c, Real& Y1, Real& Y2) {
  const Real xc = s.x + c * h;
  const Derivatives<Real> d0 = system(s.x, s.y1, s.y2);
  Y1 = s.y1 + c * h * d0.d1;
  Y2 = s.y2 + c * h * d0.d2;
  const double unit = Unit<Real>();
  double previous = HUGE_VAL;
  for (int iteration = 0; iteration < kNewtonIterations; ++iteration) {
    const Derivatives<Real> d = system(xc, Y1, Y2);
    const Real r1 = (Y1 - s.y1) - c * h * d.d1;
    const Real r2 = (Y2 - s.y2) - c * h * d.d2;
    const Jacobian2 j = JacobianOf(system, AsDouble(xc), AsDouble(Y1), AsDouble(Y2));
    const double ch = AsDouble(c * h);
    // G'(Y) = I - c h J.
    const double g11 = 1 - ch * j[0], g12 = -ch * j[1], g21 = -ch * j[2], g22 = 1 - ch * j[3];
    const double det = g11 * g22 - g12 * g21;
    if (!(det != 0) || !std::isfinite(det)) return false;
    const Real dy1 = (Real(g22) * r1 - Real(g12) * r2) / Real(det);
    const Real dy2 = (Real(g11) * r2 - Real(g21) * r1) / Real(det);
    Y1 = Y1 - dy1;
    Y2 = Y2 - dy2;
    const double size = std::fabs(AsDouble(dy1)) + std::fabs(AsDouble(dy2));
    const double scale = std::fabs(AsDouble(Y1)) + std::fabs(AsDouble(Y2));
    if (!std::isfinite(size) || !std::isfinite(scale)) return false;
    if (size <= 4 * unit * scale || size == 0) return true;
    // Once rounding stops it from shrinking, the iterate is as good as it gets.
    if (iteration > 2 && size >= previous && size <= 1e-10 * scale) return true;
    previous = size;
  }
  return false;
}

// The tableau of a one-stage implicit method with node and entry c, weight 1.
inline Tableau OneStage(double c) {
  Tableau t;
  t.stages = 1;
  t.c[0] = c;
  t.a[0][0] = c;
  t.b[0] = 1;
  return t;
}

}  // namespace detail

// Backward Euler: y_new = y + h f(x + h, y_new), order 1, L-stable.
struct BackwardEuler {
  static constexpr MethodRow kRow{"beuler", "Backward Euler", "Backward Euler Method", 1,
                                  1,        {120, 60, 160},   MarkerShape::Square};
  static Tableau Butcher() { return detail::OneStage(1); }

  template <typename System, typename Real>
  static State<Real> Step(const System& system, const State<Real>& s, Real h) {
    Real Y1(0), Y2(0);
    if (!detail::SolveStage(system, s, h, Real(1), Y1, Y2)) return Failed(s);
    return {s.x + h, Y1, Y2};
  }

  template <typename Real>
  static State<Real> Failed(const State<Real>& s) {
    const Real nan(std::numeric_limits<double>::quiet_NaN());
    return {s.x, nan, nan};
  }
};

// The implicit midpoint rule: Y = y + h/2 f(x + h/2, Y), y_new = 2Y - y;
// order 2, A-stable, and it keeps quadratic invariants to rounding.
struct ImplicitMidpoint {
  static constexpr MethodRow kRow{"imid", "Implicit midpoint", "Implicit Midpoint Method", 2,
                                  1,      {200, 80, 0},        MarkerShape::TriangleUp};
  static Tableau Butcher() { return detail::OneStage(0.5); }

  template <typename System, typename Real>
  static State<Real> Step(const System& system, const State<Real>& s, Real h) {
    Real Y1(0), Y2(0);
    if (!detail::SolveStage(system, s, h, Real(0.5), Y1, Y2)) return BackwardEuler::Failed(s);
    return {s.x + h, (Y1 + Y1) - s.y1, (Y2 + Y2) - s.y2};
  }
};

// Whether Newton's method converges in one step of an implicit method: for
// the report of a step that failed.
template <typename System>
bool NewtonConverges(const System& system, const State<double>& s, double h, double c) {
  double Y1 = 0, Y2 = 0;
  return detail::SolveStage(system, s, h, c, Y1, Y2);
}

}  // namespace kavrin
