#pragma once

#include "ode/equations.h"
#include "ode/failure.h"

namespace kavrin {

// Runge-Kutta-Fehlberg 4(5), used for its fifth-order solution alone: six
// stages, no error estimate, the step size fixed.
// Nodes 0, 1/4, 3/8, 12/13, 1, 1/2. A stage term p/q*K is formed as (p*K)/q;
// the final weights are doubles rounded once from their fractions.
inline void RKF(const double& x0, const double& y1_0, const double& y2_0, const double& h, double& y1, double& y2) {
  constexpr double W1 = 16.0 / 135.0;
  constexpr double W3 = 6656.0 / 12825.0;
  constexpr double W4 = 28561.0 / 56430.0;
  constexpr double W5 = 9.0 / 50.0;  // subtracted
  constexpr double W6 = 2.0 / 55.0;

  // Stage 1: the start of the step.
  const auto [K1, L1] = Stage(h, x0, y1_0, y2_0);
  // Stage 2: x0 + h/4.
  const double x_2 = x0 + h / 4;
  const double y1_2 = y1_0 + K1 / 4;
  const double y2_2 = y2_0 + L1 / 4;
  const auto [K2, L2] = Stage(h, x_2, y1_2, y2_2);
  // Stage 3: x0 + 3h/8.
  const double x_3 = x0 + (3 * h) / 8;
  const double y1_3 = (y1_0 + (3 * K1) / 32) + (9 * K2) / 32;
  const double y2_3 = (y2_0 + (3 * L1) / 32) + (9 * L2) / 32;
  const auto [K3, L3] = Stage(h, x_3, y1_3, y2_3);
  // Stage 4: x0 + 12h/13.
  const double x_4 = x0 + (12 * h) / 13;
  const double y1_4 = ((y1_0 + (1932 * K1) / 2197) - (7200 * K2) / 2197) + (7296 * K3) / 2197;
  const double y2_4 = ((y2_0 + (1932 * L1) / 2197) - (7200 * L2) / 2197) + (7296 * L3) / 2197;
  const auto [K4, L4] = Stage(h, x_4, y1_4, y2_4);
  // Stage 5: the end point.
  const double x_5 = x0 + h;
  const double y1_5 = (((y1_0 + (439 * K1) / 216) - 8 * K2) + (3680 * K3) / 513) - (845 * K4) / 4104;
  const double y2_5 = (((y2_0 + (439 * L1) / 216) - 8 * L2) + (3680 * L3) / 513) - (845 * L4) / 4104;
  const auto [K5, L5] = Stage(h, x_5, y1_5, y2_5);
  // Stage 6: the mid point.
  const double x_6 = x0 + h / 2;
  const double y1_6 = ((((y1_0 - (8 * K1) / 27) + 2 * K2) - (3544 * K3) / 2565) + (1859 * K4) / 4104) - (11 * K5) / 40;
  const double y2_6 = ((((y2_0 - (8 * L1) / 27) + 2 * L2) - (3544 * L3) / 2565) + (1859 * L4) / 4104) - (11 * L5) / 40;
  const auto [K6, L6] = Stage(h, x_6, y1_6, y2_6);
  RequireFiniteStep(L6);

  // Fifth-order combination; stage 2 has weight 0.
  const double dY1 = (((W1 * K1 + W3 * K3) + W4 * K4) - W5 * K5) + W6 * K6;
  const double y1_new = y1_0 + dY1;
  RequireFiniteStep(y1_new);
  y1 = y1_new;
  const double dY2 = (((W1 * L1 + W3 * L3) + W4 * L4) - W5 * L5) + W6 * L6;
  const double y2_new = y2_0 + dY2;
  RequireFiniteStep(y2_new);
  y2 = y2_new;
}

}  // namespace kavrin
