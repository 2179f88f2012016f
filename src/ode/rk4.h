#pragma once

#include "ode/equations.h"
#include "ode/failure.h"

namespace kavrin {

// Classical Runge-Kutta: order 4, four stages.
// Nodes 0, 1/2, 1/2, 1; stage coefficients 1/2; 0, 1/2; 0, 0, 1;
// weights 1/6, 1/3, 1/3, 1/6, applied as (K1 + 2*K2 + 2*K3 + K4)/6.
inline void RK4(const double& x0, const double& y1_0, const double& y2_0, const double& h, double& y1, double& y2) {
  // Stage 1: the start of the step.
  const auto [K1, L1] = Stage(h, x0, y1_0, y2_0);
  // Stage 2: the mid point, reached with the stage-1 slope.
  const double x_2 = x0 + h / 2;
  const double y1_2 = y1_0 + K1 / 2;
  const double y2_2 = y2_0 + L1 / 2;
  const auto [K2, L2] = Stage(h, x_2, y1_2, y2_2);
  // Stage 3: the mid point again, reached with the stage-2 slope.
  const double x_3 = x0 + h / 2;
  const double y1_3 = y1_0 + K2 / 2;
  const double y2_3 = y2_0 + L2 / 2;
  const auto [K3, L3] = Stage(h, x_3, y1_3, y2_3);
  // Stage 4: the end point, reached with the stage-3 slope.
  const double x_4 = x0 + h;
  const double y1_4 = y1_0 + K3;
  const double y2_4 = y2_0 + L3;
  const auto [K4, L4] = Stage(h, x_4, y1_4, y2_4);
  RequireFiniteStep(L4);

  const double dY1 = (((K1 + 2 * K2) + 2 * K3) + K4) / 6;
  const double y1_new = y1_0 + dY1;
  RequireFiniteStep(y1_new);
  y1 = y1_new;
  const double dY2 = (((L1 + 2 * L2) + 2 * L3) + L4) / 6;
  const double y2_new = y2_0 + dY2;
  RequireFiniteStep(y2_new);
  y2 = y2_new;
}

}  // namespace kavrin
