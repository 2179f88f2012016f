#pragma once

#include "ode/equations.h"
#include "ode/failure.h"

namespace kavrin {

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
