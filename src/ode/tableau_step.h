#pragma once

#include "ode/system.h"
#include "ode/tableau.h"

namespace kavrin {

// One step of an explicit method given by its tableau, in the order written:
// stage i at x + c_i h from y + (a_i1 K_1 + a_i2 K_2 + ...), where each K
// already carries h; then y + (b_1 K_1 + b_2 K_2 + ...). Zero entries are
// left out of the sums.
struct TableauStep {
  const Tableau* tableau;

  template <typename System, typename Real>
  State<Real> Step(const System& system, const State<Real>& s, Real h) const {
    const Tableau& t = *tableau;
    std::array<Real, kMaxStages> K{};
    std::array<Real, kMaxStages> L{};
    for (std::size_t i = 0; i < t.stages; ++i) {
      Real dy1(0);
      Real dy2(0);
      for (std::size_t j = 0; j < i; ++j) {
        if (t.a[i][j] == 0) continue;
        dy1 = dy1 + Real(t.a[i][j]) * K[j];
        dy2 = dy2 + Real(t.a[i][j]) * L[j];
      }
      const Increments<Real> stage = Stage(system, h, s.x + Real(t.c[i]) * h, s.y1 + dy1, s.y2 + dy2);
      K[i] = stage.K;
      L[i] = stage.L;
    }
    Real dy1(0);
    Real dy2(0);
    for (std::size_t i = 0; i < t.stages; ++i) {
      if (t.b[i] == 0) continue;
      dy1 = dy1 + Real(t.b[i]) * K[i];
      dy2 = dy2 + Real(t.b[i]) * L[i];
    }
    return {s.x + h, s.y1 + dy1, s.y2 + dy2};
  }
};

}  // namespace kavrin
