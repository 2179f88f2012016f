#pragma once

#include "ode/method_row.h"
#include "ode/system.h"
#include "ode/tableau.h"

namespace kavrin {

// Explicit Euler: order 1, one stage.
struct Euler {
  static constexpr MethodRow kRow{"euler", "Euler", "Euler Method", 1, 1, {0, 0, 0}, MarkerShape::Circle};
  // Its Butcher tableau.
  static Tableau Butcher() { return Tableau::Explicit({0}, {}, {1}); }

  template <typename System, typename Real>
  static State<Real> Step(const System& system, const State<Real>& s, Real h) {
    const auto [K1, L1] = Stage(system, h, s.x, s.y1, s.y2);
    return {s.x + h, s.y1 + K1, s.y2 + L1};
  }
};

}  // namespace kavrin
