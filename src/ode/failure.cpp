#include "ode/failure.h"

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
    case FailureKind::Domain:
      return "Domain error";
  }
  return "Failure";
}

}  // namespace kavrin
