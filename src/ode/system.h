#pragma once

#include <array>
#include <cfloat>
#include <string_view>

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

// An interval that holds a point strictly inside: below < point < above.
// With adjacent doubles, the point is known to the last bit it can have.
struct Bracket {
  double below;
  double above;
};

struct BuiltInSystem {
  // The equations as a user types them; typed so, they march bit for bit as
  // f1 and f2 above.
  static constexpr std::string_view kF1 = "y1*y2 + x";
  static constexpr std::string_view kF2 = "x*y2 + y1";
  // Where every calculation starts.
  static constexpr State<double> kStart{0, 1, -1};
  // The solution from that start grows without bound at two points, ahead
  // and behind (2.73059373251452338593... and -1.35887632098346391394...,
  // from a Taylor series in 80-digit arithmetic: scripts/reference_values.py).
  // It exists only between them, and no method's values beyond them
  // approximate anything. Each lies between two adjacent doubles.
  static constexpr Bracket kPoleAhead{0x1.5d84186de7fe5p+1, 0x1.5d84186de7fe6p+1};
  static constexpr Bracket kPoleBehind{-0x1.5bdf518deeca7p+0, -0x1.5bdf518deeca6p+0};

  template <typename Real>
  Derivatives<Real> operator()(Real x, Real y1, Real y2) const {
    return {f1(x, y1, y2), f2(x, y1, y2)};
  }

  // [[df1/dy1, df1/dy2], [df2/dy1, df2/dy2]] = [[y2, y1], [1, x]].
  static std::array<double, 4> Jacobian(double x, double y1, double y2) { return {y2, y1, 1, x}; }
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
