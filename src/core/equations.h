#pragma once

#include "core/failure.h"

// The system y1' = y1*y2 + x, y2' = x*y2 + y1 and the explicit Euler step.
//
// Every step method has the parameters (x0, y1_0, y2_0, h, y1, y2): it reads
// the first four, never writes them, and writes y1 and then y2, each once.
// Increments K = h*f1(stage) and L = h*f2(stage) already carry the factor h.
// An overflow throws Failure before the output it would have produced is
// written: a failure in the stages leaves both outputs as they were, a
// failure while forming y2 leaves the new y1 written.
//
// The methods are inline so that the marching loop, instantiated per method,
// runs each step without a call.

namespace kavrin {

inline double f1(const double& x, const double& y1, const double& y2) { return y1 * y2 + x; }

inline double f2(const double& x, const double& y1, const double& y2) { return x * y2 + y1; }

// The increments of one stage: K = h*f1, then L = h*f2, at the same point.
struct Increments {
  double K;
  double L;
};

inline Increments Stage(const double& h, const double& x, const double& y1, const double& y2) {
  const double K = h * f1(x, y1, y2);
  const double L = h * f2(x, y1, y2);
  return {K, L};
}

// Explicit Euler: order 1, one evaluation of each right-hand side.
inline void Euler(const double& x0, const double& y1_0, const double& y2_0, const double& h, double& y1, double& y2) {
  const auto [K1, L1] = Stage(h, x0, y1_0, y2_0);
  RequireFiniteStep(L1);
  const double y1_new = y1_0 + K1;
  RequireFiniteStep(y1_new);
  y1 = y1_new;
  const double y2_new = y2_0 + L1;
  RequireFiniteStep(y2_new);
  y2 = y2_new;
}

}  // namespace kavrin
