#pragma once

#include <cmath>

#include "ode/equations.h"
#include "ode/failure.h"

namespace kavrin {

// Runge-Kutta-Gill: order 4, four stages formed directly (no carried
// correction term). With s = 1/sqrt(2): nodes 0, 1/2, 1/2, 1; weights
// 1/6, (2 - sqrt 2)/6, (2 + sqrt 2)/6, 1/6, applied through w2 = 2*(1 - s)
// and w3 = 2*(1 + s), which differ from 2 -/+ sqrt(2) in their last bits.
inline void RK4G(const double& x0, const double& y1_0, const double& y2_0, const double& h, double& y1, double& y2) {
  const double s = 1 / std::sqrt(2.0);
  const double w2 = 2 * (1 - s);
  const double w3 = 2 * (1 + s);

  // Stage 1: the start of the step.
  const auto [K1, L1] = Stage(h, x0, y1_0, y2_0);
  // Stage 2: the mid point, reached with the stage-1 slope.
  const double x_2 = x0 + h / 2;
  const double y1_2 = y1_0 + K1 / 2;
  const double y2_2 = y2_0 + L1 / 2;
  const auto [K2, L2] = Stage(h, x_2, y1_2, y2_2);
  // Stage 3: the mid point, with Gill's blend of the first two slopes.
  const double x_3 = x0 + h / 2;
  const double y1_3 = (y1_0 + (-0.5 + s) * K1) + (1 - s) * K2;
  const double y2_3 = (y2_0 + (-0.5 + s) * L1) + (1 - s) * L2;
  const auto [K3, L3] = Stage(h, x_3, y1_3, y2_3);
  // Stage 4: the end point.
  const double x_4 = x0 + h;
  const double y1_4 = (y1_0 - s * K2) + (1 + s) * K3;
  const double y2_4 = (y2_0 - s * L2) + (1 + s) * L3;
  const auto [K4, L4] = Stage(h, x_4, y1_4, y2_4);
  RequireFiniteStep(L4);

  const double dY1 = (((K1 + w2 * K2) + w3 * K3) + K4) / 6;
  const double y1_new = y1_0 + dY1;
  RequireFiniteStep(y1_new);
  y1 = y1_new;
  const double dY2 = (((L1 + w2 * L2) + w3 * L3) + L4) / 6;
  const double y2_new = y2_0 + dY2;
  RequireFiniteStep(y2_new);
  y2 = y2_new;
}

}  // namespace kavrin
