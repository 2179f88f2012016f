#pragma once

#include "ode/equations.h"
#include "ode/failure.h"

namespace kavrin {

// Euler end-point (explicit trapezoidal rule, Heun): order 2, two stages.
// Nodes 0, 1; stage coefficient 1; weights 1/2, 1/2.
inline void EulerEP(const double& x0, const double& y1_0, const double& y2_0, const double& h, double& y1, double& y2) {
  // Stage 1: the start of the step.
  const auto [K1, L1] = Stage(h, x0, y1_0, y2_0);
  // Stage 2: the end point predicted by an Euler step.
  const double x_2 = x0 + h;
  const double y1_2 = y1_0 + K1;
  const double y2_2 = y2_0 + L1;
  const auto [K2, L2] = Stage(h, x_2, y1_2, y2_2);
  RequireFiniteStep(L2);

  const double y1_new = y1_0 + (K1 + K2) / 2;
  RequireFiniteStep(y1_new);
  y1 = y1_new;
  const double y2_new = y2_0 + (L1 + L2) / 2;
  RequireFiniteStep(y2_new);
  y2 = y2_new;
}

// Euler mid-point (explicit mid-point rule): order 2, two stages.
// Nodes 0, 1/2; stage coefficient 1/2; weights 0, 1. y1 is written before the
// second evaluation of f2, which reads only the stage-2 arguments.
inline void EulerMP(const double& x0, const double& y1_0, const double& y2_0, const double& h, double& y1, double& y2) {
  // Stage 1: the start of the step.
  const auto [K1, L1] = Stage(h, x0, y1_0, y2_0);
  // Stage 2: the mid point predicted by an Euler half step.
  const double x_2 = x0 + h / 2;
  const double y1_2 = y1_0 + K1 / 2;
  const double y2_2 = y2_0 + L1 / 2;
  const double K2 = h * f1(x_2, y1_2, y2_2);

  const double y1_new = y1_0 + K2;
  RequireFiniteStep(y1_new);
  y1 = y1_new;
  const double L2 = h * f2(x_2, y1_2, y2_2);
  const double y2_new = y2_0 + L2;
  RequireFiniteStep(y2_new);
  y2 = y2_new;
}

}  // namespace kavrin
