#pragma once

#include <cmath>

#include "ode/method_row.h"
#include "ode/system.h"
#include "ode/tableau.h"

namespace kavrin {

// Runge-Kutta-Gill: order 4, four stages formed directly (no carried
// correction term). With s = 1/sqrt(2): nodes 0, 1/2, 1/2, 1; weights
// 1/6, (2 - sqrt 2)/6, (2 + sqrt 2)/6, 1/6, applied through w2 = 2*(1 - s)
// and w3 = 2*(1 + s), which differ from 2 -/+ sqrt(2) in their last bits.
struct RK4G {
  static constexpr MethodRow kRow{"rk4g", "Runge-Kutta-Gill", "Runge-Kutta-Gill Method", 4,
                                  4,      {204, 121, 167},    MarkerShape::Cross};
  // Its Butcher tableau, with r = 1/sqrt(2) as the step forms it.
  static Tableau Butcher() {
    const double r = 1 / std::sqrt(2.0);
    return Tableau::Explicit({0, 0.5, 0.5, 1}, {{0.5}, {-0.5 + r, 1 - r}, {0, -r, 1 + r}},
                             {1.0 / 6, (2 * (1 - r)) / 6, (2 * (1 + r)) / 6, 1.0 / 6});
  }

  template <typename System, typename Real>
  static State<Real> Step(const System& system, const State<Real>& s, Real h) {
    using std::sqrt;
    const Real r = 1 / sqrt(Real(2));
    const Real w2 = 2 * (1 - r);
    const Real w3 = 2 * (1 + r);

    // Stage 1: the start of the step.
    const auto [K1, L1] = Stage(system, h, s.x, s.y1, s.y2);
    // Stage 2: the mid point, reached with the stage-1 slope.
    const auto [K2, L2] = Stage(system, h, s.x + h / 2, s.y1 + K1 / 2, s.y2 + L1 / 2);
    // Stage 3: the mid point, with Gill's blend of the first two slopes.
    const auto [K3, L3] = Stage(system, h, s.x + h / 2, (s.y1 + (Real(-0.5) + r) * K1) + (1 - r) * K2,
                                (s.y2 + (Real(-0.5) + r) * L1) + (1 - r) * L2);
    // Stage 4: the end point.
    const auto [K4, L4] = Stage(system, h, s.x + h, (s.y1 - r * K2) + (1 + r) * K3, (s.y2 - r * L2) + (1 + r) * L3);
    return {s.x + h, s.y1 + (((K1 + w2 * K2) + w3 * K3) + K4) / 6, s.y2 + (((L1 + w2 * L2) + w3 * L3) + L4) / 6};
  }
};

}  // namespace kavrin
