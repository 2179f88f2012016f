#pragma once

#include "ode/method_row.h"
#include "ode/system.h"
#include "ode/tableau.h"

namespace kavrin {

// Runge-Kutta-Merson: order 4, five stages, the step size fixed.
// Nodes 0, 1/3, 1/3, 1/2, 1; weights 1/6, 0, 0, 2/3, 1/6, applied as
// (K1 + 4*K4 + K5)/6. K2 and K3 only feed later stages.
struct RKM {
 public:
  static constexpr MethodRow kRow{"rkm",        "Runge-Kutta-Merson", "Runge-Kutta-Merson Method", 4, 5,
                                  {213, 94, 0}, MarkerShape::Plus};
  // Its Butcher tableau; the second weights are Merson's embedded solution,
  // whose difference from the first is his error estimate
  // (2*K1 - 9*K3 + 8*K4 - K5)/30.
  static Tableau Butcher() {
    return Tableau::Explicit({0, 1.0 / 3, 1.0 / 3, 0.5, 1},
                             {{1.0 / 3}, {1.0 / 6, 1.0 / 6}, {0.125, 0, 0.375}, {0.5, 0, -1.5, 2}},
                             {1.0 / 6, 0, 0, 2.0 / 3, 1.0 / 6}, {0.1, 0, 0.3, 0.4, 0.2});
  }

  template <typename System, typename Real>
  static State<Real> Step(const System& system, const State<Real>& s, Real h) {
    Real e1(0), e2(0);
    return Steps<false>(system, s, h, e1, e2);
  }

  // The same step, and Merson's estimate from the same stages:
  // (2*K1 - 9*K3 + 8*K4 - K5)/30.
  template <typename System, typename Real>
  static State<Real> StepWithEstimate(const System& system, const State<Real>& s, Real h, Real& e1, Real& e2) {
    return Steps<true>(system, s, h, e1, e2);
  }

 private:
  template <bool kEstimate, typename System, typename Real>
  static State<Real> Steps(const System& system, const State<Real>& s, Real h, Real& e1, Real& e2) {
    // Stage 1: the start of the step.
    const auto [K1, L1] = Stage(system, h, s.x, s.y1, s.y2);
    // Stage 2: x0 + h/3 with the stage-1 slope.
    const auto [K2, L2] = Stage(system, h, s.x + h / 3, s.y1 + K1 / 3, s.y2 + L1 / 3);
    // Stage 3: x0 + h/3 with the mean of the first two slopes.
    const auto [K3, L3] = Stage(system, h, s.x + h / 3, (s.y1 + K1 / 6) + K2 / 6, (s.y2 + L1 / 6) + L2 / 6);
    // Stage 4: the mid point.
    const auto [K4, L4] = Stage(system, h, s.x + h / 2, (s.y1 + K1 / 8) + (3 * K3) / 8, (s.y2 + L1 / 8) + (3 * L3) / 8);
    // Stage 5: the end point.
    const auto [K5, L5] =
        Stage(system, h, s.x + h, ((s.y1 + K1 / 2) - (3 * K3) / 2) + 2 * K4, ((s.y2 + L1 / 2) - (3 * L3) / 2) + 2 * L4);
    if constexpr (kEstimate) {
      // (2 K1 - 9 K3 + 8 K4 - K5)/30, by 1/30 rounded once: the estimate only
      // steers the step size.
      const Real D = Real(1) / Real(30);
      e1 = (((2 * K1 - 9 * K3) + 8 * K4) - K5) * D;
      e2 = (((2 * L1 - 9 * L3) + 8 * L4) - L5) * D;
    }
    return {s.x + h, s.y1 + ((K1 + 4 * K4) + K5) / 6, s.y2 + ((L1 + 4 * L4) + L5) / 6};
  }
};

}  // namespace kavrin
