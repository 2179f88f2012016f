#pragma once

#include <array>
#include <cmath>

#include "ode/program.h"
#include "ode/system.h"

namespace kavrin {

// The Jacobian [[df1/dy1, df1/dy2], [df2/dy1, df2/dy2]] row by row.
using Jacobian2 = std::array<double, 4>;

// A typed system's Jacobian at a point, by automatic differentiation of its
// program to first order (each function by its row's Taylor recurrence, in
// long double, rounded once). NaN entries where it is not defined.
Jacobian2 ProgramJacobian(const Program& program, double x, double y1, double y2);

// The Jacobian of any system: its own where it has one (the built-in
// system's closed form, a typed system's), else by central differences.
template <typename System>
Jacobian2 JacobianOf(const System& system, double x, double y1, double y2) {
  if constexpr (requires { system.Jacobian(x, y1, y2); }) {
    return system.Jacobian(x, y1, y2);
  } else {
    const double e1 = 1e-6 * (1 + std::fabs(y1));
    const double e2 = 1e-6 * (1 + std::fabs(y2));
    const Derivatives<double> p1 = system(x, y1 + e1, y2), m1 = system(x, y1 - e1, y2);
    const Derivatives<double> p2 = system(x, y1, y2 + e2), m2 = system(x, y1, y2 - e2);
    return {(p1.d1 - m1.d1) / (2 * e1), (p2.d1 - m2.d1) / (2 * e2), (p1.d2 - m1.d2) / (2 * e1),
            (p2.d2 - m2.d2) / (2 * e2)};
  }
}

}  // namespace kavrin
