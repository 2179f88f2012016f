#include "ode/jacobian.h"

#include <limits>
#include <vector>

namespace kavrin {
namespace {

// A slot to first order: its value and its derivative in the seed.
using FirstOrder = std::array<long double, 2>;

// One instruction to first order, from its operands; false where a
// function has no series there.
bool Differentiate(const Instruction& in, const FirstOrder& a, const FirstOrder& b, FirstOrder& r, FirstOrder& u,
                   FirstOrder& w, long double& sign) {
  switch (in.op) {
    case Op::Constant:
      r = {in.wide, 0};
      return true;
    case Op::Add:
      r = {a[0] + b[0], a[1] + b[1]};
      return true;
    case Op::Subtract:
      r = {a[0] - b[0], a[1] - b[1]};
      return true;
    case Op::Negate:
      r = {-a[0], -a[1]};
      return true;
    case Op::Multiply:
      r = {a[0] * b[0], a[0] * b[1] + a[1] * b[0]};
      return true;
    case Op::Divide:
      r[0] = a[0] / b[0];
      r[1] = (a[1] - r[0] * b[1]) / b[0];
      return true;
    case Op::Power:
      r[0] = std::pow(a[0], b[0]);
      // A constant exponent differentiates for any base; a variable one through log a.
      r[1] = b[1] == 0 ? b[0] * std::pow(a[0], b[0] - 1) * a[1] : r[0] * (b[1] * std::log(a[0]) + b[0] * a[1] / a[0]);
      return true;
    case Op::Function:
      u = {0, 0};
      w = {0, 0};
      sign = 0;
      for (std::size_t k = 0; k < 2; ++k) {
        const TaylorTerm term{a.data(), b.data(), r.data(), u.data(), w.data(), k, &sign, 1.0L};
        if (!Functions()[in.function].taylor(term)) return false;
      }
      return true;
  }
  return false;
}

}  // namespace

std::array<double, 4> TypedSystem::Jacobian(double x, double y1, double y2) const {
  return ProgramJacobian(program, x, y1, y2);
}

Jacobian2 ProgramJacobian(const Program& program, double x, double y1, double y2) {
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  Jacobian2 jacobian{kNaN, kNaN, kNaN, kNaN};
  const std::size_t slots = program.slot_count();
  std::vector<FirstOrder> c(slots), u(slots), w(slots);
  std::vector<long double> sign(slots, 0);
  for (int seed = 1; seed <= 2; ++seed) {
    c[0] = {x, 0};
    c[1] = {y1, seed == 1 ? 1.0L : 0.0L};
    c[2] = {y2, seed == 2 ? 1.0L : 0.0L};
    for (std::size_t i = 0; i < program.code.size(); ++i) {
      const Instruction& in = program.code[i];
      const std::size_t s = i + 3;
      if (!Differentiate(in, c[in.a], c[in.b], c[s], u[s], w[s], sign[s])) return jacobian;
    }
    const auto column = static_cast<std::size_t>(seed - 1);
    jacobian[column] = static_cast<double>(c[program.f1][1]);
    jacobian[2 + column] = static_cast<double>(c[program.f2][1]);
  }
  return jacobian;
}

}  // namespace kavrin
