#pragma once

#include "ode/method_row.h"
#include "ode/system.h"
#include "ode/tableau.h"

namespace kavrin {

// Classical Runge-Kutta: order 4, four stages.
// Nodes 0, 1/2, 1/2, 1; stage coefficients 1/2; 0, 1/2; 0, 0, 1;
// weights 1/6, 1/3, 1/3, 1/6, applied as (K1 + 2*K2 + 2*K3 + K4)/6.
struct RK4 {
  static constexpr MethodRow kRow{"rk4", "Runge-Kutta 4", "Runge-Kutta-4 Method", 4,
                                  4,     {0, 158, 115},   MarkerShape::Diamond};
  // Its Butcher tableau.
  static Tableau Butcher() {
    return Tableau::Explicit({0, 0.5, 0.5, 1}, {{0.5}, {0, 0.5}, {0, 0, 1}}, {1.0 / 6, 1.0 / 3, 1.0 / 3, 1.0 / 6});
  }

  template <typename System, typename Real>
  static State<Real> Step(const System& system, const State<Real>& s, Real h) {
    // Stage 1: the start of the step.
    const auto [K1, L1] = Stage(system, h, s.x, s.y1, s.y2);
    // Stage 2: the mid point, reached with the stage-1 slope.
    const auto [K2, L2] = Stage(system, h, s.x + h / 2, s.y1 + K1 / 2, s.y2 + L1 / 2);
    // Stage 3: the mid point again, reached with the stage-2 slope.
    const auto [K3, L3] = Stage(system, h, s.x + h / 2, s.y1 + K2 / 2, s.y2 + L2 / 2);
    // Stage 4: the end point, reached with the stage-3 slope.
    const auto [K4, L4] = Stage(system, h, s.x + h, s.y1 + K3, s.y2 + L3);
    return {s.x + h, s.y1 + (((K1 + 2 * K2) + 2 * K3) + K4) / 6, s.y2 + (((L1 + 2 * L2) + 2 * L3) + L4) / 6};
  }
};

}  // namespace kavrin
