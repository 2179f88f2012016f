#include "ode/jacobian.h"

#include <limits>
#include <vector>

namespace kavrin {

std::array<double, 4> TypedSystem::Jacobian(double x, double y1, double y2) const {
  return ProgramJacobian(program, x, y1, y2);
}

Jacobian2 ProgramJacobian(const Program& program, double x, double y1, double y2) {
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  Jacobian2 jacobian{kNaN, kNaN, kNaN, kNaN};
  const std::size_t slots = program.slot_count();
  // Two coefficients per slot: the value and the derivative in the seed.
  std::vector<std::array<long double, 2>> c(slots), u(slots), w(slots);
  std::vector<long double> sign(slots, 0);
  for (int seed = 1; seed <= 2; ++seed) {
    c[0] = {x, 0};
    c[1] = {y1, seed == 1 ? 1.0L : 0.0L};
    c[2] = {y2, seed == 2 ? 1.0L : 0.0L};
    for (std::size_t i = 0; i < program.code.size(); ++i) {
      const Instruction& in = program.code[i];
      const std::size_t s = i + 3;
      const std::array<long double, 2>& a = c[in.a];
      const std::array<long double, 2>& b = c[in.b];
      std::array<long double, 2>& r = c[s];
      switch (in.op) {
        case Op::Constant:
          r = {in.wide, 0};
          break;
        case Op::Add:
          r = {a[0] + b[0], a[1] + b[1]};
          break;
        case Op::Subtract:
          r = {a[0] - b[0], a[1] - b[1]};
          break;
        case Op::Negate:
          r = {-a[0], -a[1]};
          break;
        case Op::Multiply:
          r = {a[0] * b[0], a[0] * b[1] + a[1] * b[0]};
          break;
        case Op::Divide:
          r[0] = a[0] / b[0];
          r[1] = (a[1] - r[0] * b[1]) / b[0];
          break;
        case Op::Power:
          r[0] = std::pow(a[0], b[0]);
          // A constant exponent differentiates for any base; a variable one through log a.
          r[1] =
              b[1] == 0 ? b[0] * std::pow(a[0], b[0] - 1) * a[1] : r[0] * (b[1] * std::log(a[0]) + b[0] * a[1] / a[0]);
          break;
        case Op::Function: {
          u[s] = {0, 0};
          w[s] = {0, 0};
          sign[s] = 0;
          for (std::size_t k = 0; k < 2; ++k) {
            const TaylorTerm term{a.data(), b.data(), r.data(), u[s].data(), w[s].data(), k, &sign[s], 1.0L};
            if (!Functions()[in.function].taylor(term)) return jacobian;
          }
          break;
        }
      }
    }
    const auto column = static_cast<std::size_t>(seed - 1);
    jacobian[column] = static_cast<double>(c[program.f1][1]);
    jacobian[2 + column] = static_cast<double>(c[program.f2][1]);
  }
  return jacobian;
}

}  // namespace kavrin
