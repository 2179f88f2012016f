#pragma once

#include "ode/method_row.h"
#include "ode/system.h"
#include "ode/tableau.h"

namespace kavrin {

// Euler end-point (explicit trapezoidal rule, Heun): order 2, two stages.
// Nodes 0, 1; stage coefficient 1; weights 1/2, 1/2.
struct EulerEP {
  static constexpr MethodRow kRow{"euler-ep", "Euler (End points)", "Euler End-Point Method", 2,
                                  2,          {230, 159, 0},        MarkerShape::Square};
  // Its Butcher tableau.
  static Tableau Butcher() { return Tableau::Explicit({0, 1}, {{1}}, {0.5, 0.5}); }

  template <typename System, typename Real>
  static State<Real> Step(const System& system, const State<Real>& s, Real h) {
    // Stage 1: the start of the step.
    const auto [K1, L1] = Stage(system, h, s.x, s.y1, s.y2);
    // Stage 2: the end point predicted by an Euler step.
    const auto [K2, L2] = Stage(system, h, s.x + h, s.y1 + K1, s.y2 + L1);
    return {s.x + h, s.y1 + (K1 + K2) / 2, s.y2 + (L1 + L2) / 2};
  }
};

// Euler mid-point (explicit mid-point rule): order 2, two stages.
// Nodes 0, 1/2; stage coefficient 1/2; weights 0, 1.
struct EulerMP {
  static constexpr MethodRow kRow{"euler-mp", "Euler (Mid point)", "Euler Mid-Point Method", 2,
                                  2,          {86, 180, 233},      MarkerShape::TriangleUp};
  // Its Butcher tableau.
  static Tableau Butcher() { return Tableau::Explicit({0, 0.5}, {{0.5}}, {0, 1}); }

  template <typename System, typename Real>
  static State<Real> Step(const System& system, const State<Real>& s, Real h) {
    // Stage 1: the start of the step.
    const auto [K1, L1] = Stage(system, h, s.x, s.y1, s.y2);
    // Stage 2: the mid point predicted by an Euler half step.
    const auto [K2, L2] = Stage(system, h, s.x + h / 2, s.y1 + K1 / 2, s.y2 + L1 / 2);
    return {s.x + h, s.y1 + K2, s.y2 + L2};
  }
};

}  // namespace kavrin
