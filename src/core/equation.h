#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ode/failure.h"
#include "ode/method_table.h"
#include "ode/program.h"

namespace kavrin {

// The longest equation and the deepest nesting of parentheses and functions
// the parser takes, so that no text can exhaust the stack or take long.
inline constexpr std::size_t kMaxEquationLength = 1000;
inline constexpr int kMaxEquationDepth = 100;

// The texts of an own system: y1' = f1(x, y1, y2), y2' = f2(x, y1, y2) and
// the start x0, y1(0), y2(0).
struct SystemTexts {
  std::string f1;
  std::string f2;
  std::string x0;
  std::string y10;
  std::string y20;
};

// The examples a user may start from, the built-in system first (its
// equations as text, which march bit for bit as the compiled ones).
struct SystemExample {
  const char* name;
  SystemTexts texts;
};
const std::vector<SystemExample>& SystemExamples();

// Whether the texts are the built-in system's own, which the program then
// integrates as built in.
bool IsBuiltIn(const SystemTexts& texts);

// An own system with the texts it came from.

struct OwnSystem {
  TypedSystem system;
  SystemTexts texts;
  // "y1' = y2, y2' = -y1"
  std::string Title() const;
  // The system in one line for files: "y1' = y2; y2' = -y1; x0 = 0; y1(0) = 1; y2(0) = 0".
  std::string Description() const;
};

// Reads an own system: each equation an expression in x, y1 and y2 with
// numbers ("." as the decimal separator), + - * / and ^ (a power; a
// whole-number constant exponent up to 64 is repeated multiplication), unary
// minus, parentheses, the functions sin cos tan asin acos atan sinh cosh tanh
// exp log sqrt abs and the constants pi and e; each start value read as the
// window reads numbers. A wrong text gets a report naming it and the place:
// "f1: unknown name 'z' at column 7", "f2: missing ')' at the end".
struct SystemRead {
  std::shared_ptr<const OwnSystem> system;
  std::string error;
};
SystemRead ReadSystem(const SystemTexts& texts);

// What went wrong where a step of an own system left the numbers: the first
// operation whose result is not finite though its operands are. A function
// outside its domain (sqrt or log of a negative number or 0, asin or acos
// beyond 1, pow of a negative number) is a domain error; a division by zero
// is one; anything else an overflow.
struct Fault {
  FailureKind kind = FailureKind::Overflow;
  std::string what;  // "sqrt of -0.25 (f2, column 5)"
};
std::optional<Fault> StepFault(const OwnSystem& system, Method method, const State<double>& start, double h);

}  // namespace kavrin
