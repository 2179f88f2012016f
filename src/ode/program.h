#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

#include "ode/functions.h"
#include "ode/system.h"

namespace kavrin {

// A typed system compiled into a flat program: instructions over numbered
// slots, run in one loop in the order the equations are written (left to
// right within a precedence), with no reordering and no folding of
// constants. Slots 0, 1 and 2 hold x, y1 and y2; every instruction writes
// the next slot.
enum class Op : std::uint8_t {
  Constant,  // the literal `value` (and `wide` in a wider type)
  Add,
  Subtract,
  Multiply,
  Divide,
  Negate,
  Power,     // pow(a, b), for an exponent that is not a small whole constant
  Function,  // the function of row `function` of the function table
};

struct Instruction {
  Op op = Op::Constant;
  std::uint8_t function = 0;  // its row, for Op::Function
  std::uint16_t a = 0;        // the operands' slots
  std::uint16_t b = 0;
  double value = 0;           // a constant, as double
  long double wide = 0;       // the same literal in long double, for wider runs
  double low = 0;             // what `value` leaves of the literal, for double-double
  std::uint16_t column = 0;   // where in the equation it stands, for reports
  std::uint8_t equation = 0;  // 0 for f1, 1 for f2
};

// The most slots a program may use: a text of at most 1000 characters needs
// fewer.
inline constexpr std::size_t kMaxSlots = 1024;

struct Program {
  std::vector<Instruction> code;
  std::uint16_t f1 = 0;  // the slots holding y1' and y2' at the end
  std::uint16_t f2 = 0;

  std::size_t slot_count() const { return code.size() + 3; }
};

// A constant in the number type of a run.
template <typename Real>
Real ConstantAs(const Instruction& in) {
  if constexpr (std::is_same_v<Real, double>) {
    return in.value;
  } else if constexpr (std::is_same_v<Real, long double>) {
    return in.wide;
  } else {
    // Double-double: the literal to about 106 bits, the same on every machine.
    return Real(in.value) + Real(in.low);
  }
}

// A function of the table in the number type of a run.
template <typename Real>
Real FunctionAs(const FunctionRow& row, const Real& a, const Real& b) {
  if constexpr (std::is_same_v<Real, double>) {
    return row.value(a, b);
  } else if constexpr (std::is_same_v<Real, long double>) {
    return row.wide(a, b);
  } else {
    // Double-double: its own where the row has one, else the double value.
    if (row.double_double != nullptr) return row.double_double(a);
    return Real(row.value(static_cast<double>(a), static_cast<double>(b)));
  }
}

// One instruction on its operands.
template <typename Real>
Real Apply(const Instruction& in, const Real& a, const Real& b) {
  using std::pow;
  switch (in.op) {
    case Op::Constant:
      return ConstantAs<Real>(in);
    case Op::Add:
      return a + b;
    case Op::Subtract:
      return a - b;
    case Op::Multiply:
      return a * b;
    case Op::Divide:
      return a / b;
    case Op::Negate:
      return -a;
    case Op::Power:
      return pow(a, b);
    case Op::Function:
      return FunctionAs<Real>(Functions()[in.function], a, b);
  }
  return a;
}

// A system of two equations typed by the user, and its own start.
struct TypedSystem {
  Program program;
  State<double> start{0, 0, 0};

  template <typename Real>
  Derivatives<Real> operator()(Real x, Real y1, Real y2) const {
    std::array<Real, kMaxSlots> values;  // NOLINT(cppcoreguidelines-pro-type-member-init): each slot is written first
    values[0] = x;
    values[1] = y1;
    values[2] = y2;
    std::size_t next = 3;
    for (const Instruction& in : program.code) {
      values[next] = Apply<Real>(in, values[in.a], values[in.b]);
      ++next;
    }
    return {values[program.f1], values[program.f2]};
  }

  // Its Jacobian by automatic differentiation (ode/jacobian.cpp).
  std::array<double, 4> Jacobian(double x, double y1, double y2) const;
};

}  // namespace kavrin
