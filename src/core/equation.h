#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/failure.h"
#include "ode/method_table.h"
#include "ode/program.h"

namespace kavrin {

// The longest equation and the deepest nesting of parentheses and functions
// the parser takes, so that no text can exhaust the stack or take long.
inline constexpr std::size_t kMaxEquationLength = 1000;
inline constexpr int kMaxEquationDepth = 100;

// The texts of a system: y1' = f1(x, y1, y2), y2' = f2(x, y1, y2) and the
// start x0, y1(0), y2(0).
struct SystemTexts {
  std::string f1;
  std::string f2;
  std::string x0;
  std::string y10;
  std::string y20;
  friend bool operator==(const SystemTexts&, const SystemTexts&) = default;
};

// The built-in system's own texts, which the program integrates as built in.
const SystemTexts& BuiltInSystemTexts();

// The examples a user may start from, the built-in system first, each with
// a quantity its exact solution keeps constant, where it has one.
struct SystemExample {
  const char* name;
  SystemTexts texts;
  const char* invariant = "";
};
const std::vector<SystemExample>& SystemExamples();

// The invariant of the example with these equations, or empty.
std::string ExampleInvariant(const SystemTexts& texts);

// A quantity H(x, y1, y2) that should stay constant along the solution,
// compiled like an equation; its value is f1's slot of the program.
struct Invariant {
  TypedSystem compiled;
  std::string text;
  // H at a point; NaN or infinite where it is not defined.
  double operator()(double x, double y1, double y2) const;
};

// Reads an invariant in the language of the equations; a wrong text is a
// failure of Field::Invariant with its column.
Outcome<std::shared_ptr<const Invariant>> ReadInvariant(const std::string& text);

// An own system, compiled, with the texts it came from.
struct OwnSystem {
  TypedSystem system;
  SystemTexts texts;
};

// What the language offers, in one sentence for the help of every face.
std::string EquationLanguageHelp();

// Reads an own system: each equation an expression in x, y1 and y2 with
// numbers ("." as the decimal separator), + - * / and ^ (a power; a
// whole-number constant exponent up to 64 is repeated multiplication), unary
// minus, parentheses, the functions of the function table and the constants
// pi and e; each start value read as the window reads numbers. A wrong text
// is a failure naming the equation (Field::F1, F2) and its column, or the
// start value: "unknown name 'z' at column 7".
Outcome<std::shared_ptr<const OwnSystem>> ReadSystem(const SystemTexts& texts);

// A constant expression of the language (numbers, operators, functions, pi
// and e; no x, y1 or y2) and its value in double; a wrong text, or one
// without a finite value, is a failure of `field` with its column.
Outcome<double> ReadConstant(std::string_view text, Field field);

// What went wrong where a step of an own system left the numbers: the first
// operation whose result is not finite though its operands are. A function
// outside its domain (by its row) is a domain error; a division by zero is
// one; anything else an overflow.
struct Fault {
  FailureKind kind = FailureKind::Overflow;
  std::string what;  // "sqrt of -0.25 (f2, column 5)"
};
std::optional<Fault> StepFault(const OwnSystem& system, Method method, const State<double>& start, double h);

// The same of the equations at a point itself, where a step starts.
std::optional<Fault> PointFault(const OwnSystem& system, const State<double>& point);

}  // namespace kavrin
