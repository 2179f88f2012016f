#pragma once

#include <cfloat>

// What every step method works on: the state (x, y1, y2), the system that
// gives its derivatives, and the stage helper. The built-in system is
//   y1' = y1*y2 + x,  y2' = x*y2 + y1,  from x0 = 0, y1(0) = 1, y2(0) = -1.
// A system is any type whose call operator takes (x, y1, y2) of a number
// type and returns both derivatives in that type; the methods are templates
// over both, so that the same steps march in double (the results), in a
// wider type (the study's measure of rounding) and over typed equations.

// Each operation must round to double: arithmetic carried out in a wider
// format (x87 extended precision) would change the last bits of every step.
static_assert(FLT_EVAL_METHOD == 0, "double arithmetic must be evaluated in double precision");

namespace kavrin {

template <typename Real>
struct State {
  Real x;
  Real y1;
  Real y2;
};

template <typename Real>
struct Derivatives {
  Real d1;  // y1'
  Real d2;  // y2'
};

// The right-hand sides: the product first, then the sum.
template <typename Real>
Real f1(Real x, Real y1, Real y2) {
  return y1 * y2 + x;
}
template <typename Real>
Real f2(Real x, Real y1, Real y2) {
  return x * y2 + y1;
}

struct BuiltInSystem {
  // Where every calculation starts.
  static constexpr State<double> kStart{0, 1, -1};
  // The solution from that start grows without bound near these two points
  // (forward and backward): it exists only between them, and no method's
  // values beyond them approximate anything.
  static constexpr double kPoleAhead = 2.730593733;
  static constexpr double kPoleBehind = -1.358876321;

  template <typename Real>
  Derivatives<Real> operator()(Real x, Real y1, Real y2) const {
    return {f1(x, y1, y2), f2(x, y1, y2)};
  }
};

// The increments of one stage: K = h*f1, L = h*f2 at the same point. Every
// increment already carries the factor h.
template <typename Real>
struct Increments {
  Real K;
  Real L;
};

template <typename System, typename Real>
Increments<Real> Stage(const System& system, Real h, Real x, Real y1, Real y2) {
  const Derivatives<Real> d = system(x, y1, y2);
  return {h * d.d1, h * d.d2};
}

}  // namespace kavrin
