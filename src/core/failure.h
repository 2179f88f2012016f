#pragma once

#include <cstdint>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace kavrin {

// What can go wrong, in every face.
enum class FailureKind {
  // N reads as 0, so the step size (x1 - x0)/N cannot be formed.
  DivisionByZero,
  // A number beyond the double range: a typed text, the distance x1 - x0,
  // the step size, N beyond the most steps a calculation takes, a step whose
  // values left the range, or the plot's view and coordinates.
  Overflow,
  // N is negative (no last step to show), or entries the tables do not have.
  IndexOutOfRange,
  // The tables for N steps do not fit in the memory there is.
  OutOfMemory,
  // A function of an own system's equations outside its domain in a step.
  Domain,
  // A text that does not read: an equation, a start value of an own system,
  // a list of steps or methods, a name, an option.
  WrongInput,
  // A file or standard output that cannot be written.
  Output,
  // An implicit method's Newton iteration did not converge in a step.
  NoConvergence,
};

// The inputs a failure can concern, so that a face can point at the one it
// shows under its own name.
enum class Field : std::uint8_t {
  None,
  X0,
  Y10,
  Y20,
  X1,
  N,
  F1,
  F2,
  StudyX1,     // the study's target point
  Steps,       // the study's step counts
  Methods,     // a list of methods
  Axis,        // what the study's chart sets the error against
  Format,      // a report's format
  File,        // a file to write
  Invariant,   // the comparison's invariant H(x, y1, y2)
  FieldX,      // where the comparison's direction field is taken
  Tableau,     // a method typed as a Butcher tableau
  Tolerance,   // an adaptive run's tolerances, first step or budget of steps
  Tolerances,  // a study's sweep of tolerances
};

// Where it went wrong: the field, the column of an equation, the step of a
// march and the x it starts at.
struct Where {
  Field field = Field::None;
  int column = 0;         // from 1; 0 when none
  std::int64_t step = 0;  // from 1; 0 when none
  double x = 0;           // where that step starts
};

// The one failure of the program, carried from core to every face: its kind,
// where, what the typed text was read as (when it does not show it), what
// went wrong and what to enter instead. Inside core and plot it is thrown;
// what reaches a face is a value.
struct Failure {
  FailureKind kind = FailureKind::WrongInput;
  Where where;
  std::string read_as;  // "0" for N "abc"; empty when the text reads as it shows
  std::string text;     // what went wrong, naming the place in words
  std::string advice;   // what to enter instead, a sentence; may be empty
};

// The kind's name in a report: "Division by zero", "Overflow", ...; empty
// for wrong input and output, whose reports start with the field or file.
std::string_view FailureName(FailureKind kind);

// How a face names a field in a report: "f1" in the window, "--f1" on the
// command line; an empty name puts none before the text.
using FieldName = std::string_view (*)(Field field);
std::string_view PlainFieldName(Field field);

// The failure as one line for the user, the one way every face words it:
// "Overflow: the solution grew too large ... Enter ...", or for wrong input
// "f1: unknown name 'z' at column 7".
std::string Describe(const Failure& failure, FieldName name = PlainFieldName);

// A value or the failure that took its place.
template <typename T>
class Outcome {
 public:
  Outcome(T value) : m_value(std::move(value)) {}            // NOLINT(google-explicit-constructor): a result
  Outcome(Failure failure) : m_value(std::move(failure)) {}  // NOLINT(google-explicit-constructor): or its failure

  bool ok() const { return m_value.index() == 0; }
  const T& value() const { return std::get<0>(m_value); }
  T& value() { return std::get<0>(m_value); }
  const Failure& failure() const { return std::get<1>(m_value); }

 private:
  std::variant<T, Failure> m_value;
};

// The failure for memory that an allocation could not get.
Failure OutOfMemoryFailure();

// Runs `work` and gives back the failure it threw (a failed allocation as
// an out-of-memory failure), if any.
template <typename Work>
std::optional<Failure> Caught(Work&& work) {
  try {
    std::forward<Work>(work)();
  } catch (const Failure& failure) {
    return failure;
  } catch (const std::bad_alloc&) {
    return OutOfMemoryFailure();
  }
  return std::nullopt;
}

}  // namespace kavrin
