#pragma once

#include "ode/equations.h"
#include "ode/failure.h"

namespace kavrin {

// Runge-Kutta-Merson: order 4, five stages, the step size fixed.
// Nodes 0, 1/3, 1/3, 1/2, 1; weights 1/6, 0, 0, 2/3, 1/6, applied as
// (K1 + 4*K4 + K5)/6. K2 and K3 only feed later stages.
inline void RKM(const double& x0, const double& y1_0, const double& y2_0, const double& h, double& y1, double& y2) {
  // Stage 1: the start of the step.
  const auto [K1, L1] = Stage(h, x0, y1_0, y2_0);
  // Stage 2: x0 + h/3 with the stage-1 slope.
  const double x_2 = x0 + h / 3;
  const double y1_2 = y1_0 + K1 / 3;
  const double y2_2 = y2_0 + L1 / 3;
  const auto [K2, L2] = Stage(h, x_2, y1_2, y2_2);
  // Stage 3: x0 + h/3 with the mean of the first two slopes.
  const double x_3 = x0 + h / 3;
  const double y1_3 = (y1_0 + K1 / 6) + K2 / 6;
  const double y2_3 = (y2_0 + L1 / 6) + L2 / 6;
  const auto [K3, L3] = Stage(h, x_3, y1_3, y2_3);
  // Stage 4: the mid point.
  const double x_4 = x0 + h / 2;
  const double y1_4 = (y1_0 + K1 / 8) + (3 * K3) / 8;
  const double y2_4 = (y2_0 + L1 / 8) + (3 * L3) / 8;
  const auto [K4, L4] = Stage(h, x_4, y1_4, y2_4);
  // Stage 5: the end point.
  const double x_5 = x0 + h;
  const double y1_5 = ((y1_0 + K1 / 2) - (3 * K3) / 2) + 2 * K4;
  const double y2_5 = ((y2_0 + L1 / 2) - (3 * L3) / 2) + 2 * L4;
  const auto [K5, L5] = Stage(h, x_5, y1_5, y2_5);
  RequireFiniteStep(L5);

  const double dY1 = ((K1 + 4 * K4) + K5) / 6;
  const double y1_new = y1_0 + dY1;
  RequireFiniteStep(y1_new);
  y1 = y1_new;
  const double dY2 = ((L1 + 4 * L4) + L5) / 6;
  const double y2_new = y2_0 + dY2;
  RequireFiniteStep(y2_new);
  y2 = y2_new;
}

}  // namespace kavrin
