#pragma once

#include "ode/method_row.h"
#include "ode/system.h"
#include "ode/tableau.h"

namespace kavrin {

// Runge-Kutta-Fehlberg 4(5), used for its fifth-order solution alone: six
// stages, no error estimate, the step size fixed.
// Nodes 0, 1/4, 3/8, 12/13, 1, 1/2. A stage term p/q*K is formed as (p*K)/q;
// the final weights are constants rounded once from their fractions.
struct RKF {
 public:
  static constexpr MethodRow kRow{"rkf", "Runge-Kutta-Fehlberg", "Runge-Kutta-Fehlberg Method", 5,
                                  6,     {0, 114, 178},          MarkerShape::TriangleDown};
  // Its Butcher tableau: the fifth-order weights it steps with, and the
  // fourth-order ones of Fehlberg's pair as the second weights.
  static Tableau Butcher() {
    return Tableau::Explicit({0, 0.25, 3.0 / 8, 12.0 / 13, 1, 0.5},
                             {{0.25},
                              {3.0 / 32, 9.0 / 32},
                              {1932.0 / 2197, -7200.0 / 2197, 7296.0 / 2197},
                              {439.0 / 216, -8, 3680.0 / 513, -845.0 / 4104},
                              {-8.0 / 27, 2, -3544.0 / 2565, 1859.0 / 4104, -11.0 / 40}},
                             {16.0 / 135, 0, 6656.0 / 12825, 28561.0 / 56430, -9.0 / 50, 2.0 / 55},
                             {25.0 / 216, 0, 1408.0 / 2565, 2197.0 / 4104, -0.2, 0});
  }

  template <typename System, typename Real>
  static State<Real> Step(const System& system, const State<Real>& s, Real h) {
    Real e1(0), e2(0);
    return Steps<false>(system, s, h, e1, e2);
  }

  // The same step, and the difference between it and the fourth-order
  // solution of Fehlberg's pair from the same stages: (b - b̂) . K.
  template <typename System, typename Real>
  static State<Real> StepWithEstimate(const System& system, const State<Real>& s, Real h, Real& e1, Real& e2) {
    return Steps<true>(system, s, h, e1, e2);
  }

 private:
  template <bool kEstimate, typename System, typename Real>
  static State<Real> Steps(const System& system, const State<Real>& s, Real h, Real& e1, Real& e2) {
    const Real W1 = Real(16) / Real(135);
    const Real W3 = Real(6656) / Real(12825);
    const Real W4 = Real(28561) / Real(56430);
    const Real W5 = Real(9) / Real(50);  // subtracted
    const Real W6 = Real(2) / Real(55);

    // Stage 1: the start of the step.
    const auto [K1, L1] = Stage(system, h, s.x, s.y1, s.y2);
    // Stage 2: x0 + h/4.
    const auto [K2, L2] = Stage(system, h, s.x + h / 4, s.y1 + K1 / 4, s.y2 + L1 / 4);
    // Stage 3: x0 + 3h/8.
    const auto [K3, L3] = Stage(system, h, s.x + (3 * h) / 8, (s.y1 + (3 * K1) / 32) + (9 * K2) / 32,
                                (s.y2 + (3 * L1) / 32) + (9 * L2) / 32);
    // Stage 4: x0 + 12h/13.
    const auto [K4, L4] =
        Stage(system, h, s.x + (12 * h) / 13, ((s.y1 + (1932 * K1) / 2197) - (7200 * K2) / 2197) + (7296 * K3) / 2197,
              ((s.y2 + (1932 * L1) / 2197) - (7200 * L2) / 2197) + (7296 * L3) / 2197);
    // Stage 5: the end point.
    const auto [K5, L5] =
        Stage(system, h, s.x + h, (((s.y1 + (439 * K1) / 216) - 8 * K2) + (3680 * K3) / 513) - (845 * K4) / 4104,
              (((s.y2 + (439 * L1) / 216) - 8 * L2) + (3680 * L3) / 513) - (845 * L4) / 4104);
    // Stage 6: the mid point.
    const auto [K6, L6] =
        Stage(system, h, s.x + h / 2,
              ((((s.y1 - (8 * K1) / 27) + 2 * K2) - (3544 * K3) / 2565) + (1859 * K4) / 4104) - (11 * K5) / 40,
              ((((s.y2 - (8 * L1) / 27) + 2 * L2) - (3544 * L3) / 2565) + (1859 * L4) / 4104) - (11 * L5) / 40);

    if constexpr (kEstimate) {
      // b - b̂: 1/360, 0, -128/4275, -2197/75240, 1/50, 2/55, each rounded
      // once: the estimate only steers the step size, and divisions would
      // be most of its cost.
      const Real D1 = Real(1) / Real(360);
      const Real D3 = Real(128) / Real(4275);
      const Real D4 = Real(2197) / Real(75240);
      const Real D5 = Real(1) / Real(50);
      const Real D6 = Real(2) / Real(55);
      e1 = (((D1 * K1 - D3 * K3) - D4 * K4) + D5 * K5) + D6 * K6;
      e2 = (((D1 * L1 - D3 * L3) - D4 * L4) + D5 * L5) + D6 * L6;
    }
    // Fifth-order combination; stage 2 has weight 0.
    return {s.x + h, s.y1 + ((((W1 * K1 + W3 * K3) + W4 * K4) - W5 * K5) + W6 * K6),
            s.y2 + ((((W1 * L1 + W3 * L3) + W4 * L4) - W5 * L5) + W6 * L6)};
  }
};

}  // namespace kavrin
