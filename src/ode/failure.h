#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace kavrin {

// The failures a calculation, a plot or a study can end in. Each report is
// one line for the user: the kind's name, then what concerns it in the
// user's terms, what a typed text was read as when that is not what it
// shows, and what to enter instead.
enum class FailureKind {
  // N reads as 0, so the step size (x1 - x0)/N cannot be formed. The user is
  // asked for a number of steps of 1 or more.
  DivisionByZero,
  // A number beyond the double range: a typed text, the distance x1 - x0,
  // the step size, N beyond the most steps a calculation takes, a step whose
  // values left the range (the report names the step and its x, and asks
  // for an x1 nearer the start or more steps, or, past the solution's pole,
  // for an x1 before it), or the plot's view and coordinates.
  Overflow,
  // N is negative (no last step to show), or the plot is asked for entries
  // the tables do not have.
  IndexOutOfRange,
  // The tables for N steps do not fit in the memory the machine, the
  // process's limits or the page can give; the report suggests a step count
  // that fits.
  OutOfMemory,
  // A function of an own system's equations was evaluated outside its
  // domain during a step (sqrt or log of a negative number, asin beyond 1);
  // the report names the function, the step and x.
  Domain,

};

// The one exception type of the program: a failure kind and what it concerns,
// worded for the user ("Overflow: the solution grew too large ...").
class Failure : public std::runtime_error {
 public:
  Failure(FailureKind kind, const std::string& detail);

  FailureKind kind() const noexcept { return m_kind; }
  // The detail alone, without the failure's name in front.
  const std::string& detail() const noexcept { return m_detail; }

 private:
  FailureKind m_kind;
  std::string m_detail;
};

// The failure's name in plain words: "Division by zero", "Overflow", ...
std::string_view FailureName(FailureKind kind);

}  // namespace kavrin
