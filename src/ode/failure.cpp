#include "ode/failure.h"

#include "ode/charconv.h"

namespace kavrin {

Failure::Failure(FailureKind kind, const std::string& detail)
    : std::runtime_error(std::string(FailureName(kind)) + ": " + detail), m_kind(kind), m_detail(detail) {}

std::string_view FailureName(FailureKind kind) {
  switch (kind) {
    case FailureKind::DivisionByZero:
      return "Division by zero";
    case FailureKind::Overflow:
      return "Overflow";
    case FailureKind::IndexOutOfRange:
      return "Index out of range";
    case FailureKind::OutOfMemory:
      return "Out of memory";
  }
  return "Failure";
}

std::string ShortestText(double value) {
  char buffer[64];
  // Plain decimals where they are short enough to read, else exponent form.
  const double magnitude = value < 0 ? -value : value;
  const CharsStyle style = magnitude >= 1e-6 && magnitude < 1e15 ? CharsStyle::Fixed : CharsStyle::General;
  return std::string(buffer, ToChars(buffer, buffer + sizeof buffer, value, style));
}

void ThrowStepOverflow() {
  throw Failure(FailureKind::Overflow, "a step of the method left the range of double-precision numbers");
}

}  // namespace kavrin
