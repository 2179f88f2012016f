#pragma once

#include <cmath>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kavrin {

// The run-time failures a calculation can end in.
enum class FailureKind { DivisionByZero, Overflow, IndexOutOfRange, OutOfMemory };

// The one exception type of the program: a failure kind and what it concerns,
// worded for the user ("Overflow: the solution overflowed at step 7 ...").
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

// Shortest text that reads back as the same double, with "." as the decimal
// point; used to name values in failure reports.
std::string ShortestText(double value);

// Thrown from inside a step method when one of its operations leaves the
// double range; the marching driver adds the step and x to the report.
[[noreturn]] void ThrowStepOverflow();

// A step's inputs are finite, and a non-finite intermediate never becomes
// finite again in the step formulas, so checking the values a step writes (and
// the last increment that no written value contains) finds every overflow.
inline void RequireFiniteStep(double value) {
  if (!std::isfinite(value)) [[unlikely]]
    ThrowStepOverflow();
}

}  // namespace kavrin
