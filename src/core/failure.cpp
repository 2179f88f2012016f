#include "core/failure.h"

namespace kavrin {

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
    case FailureKind::NoConvergence:
      return "No convergence";
    case FailureKind::WrongInput:
    case FailureKind::Output:
      break;
  }
  return {};
}

std::string_view PlainFieldName(Field field) {
  switch (field) {
    case Field::F1:
      return "f1";
    case Field::F2:
      return "f2";
    case Field::StudyX1:
      return "x1";
    case Field::Steps:
      return "N";
    case Field::Invariant:
      return "invariant";
    case Field::FieldX:
      return "field x";
    case Field::Tableau:
      return "tableau";
    case Field::Tolerance:
      return "tolerance";
    case Field::Tolerances:
      return "tolerances";
    default:
      break;
  }
  return {};
}

std::string Describe(const Failure& failure, FieldName name) {
  std::string line;
  const std::string_view kind = FailureName(failure.kind);
  const std::string_view field = failure.kind == FailureKind::WrongInput ? name(failure.where.field) : "";
  if (!kind.empty()) line.append(kind).append(": ");
  if (!field.empty()) line.append(field).append(": ");
  line += failure.text;
  if (!failure.advice.empty()) line.append(" ").append(failure.advice);
  return line;
}

Failure OutOfMemoryFailure() {
  return {FailureKind::OutOfMemory, {}, {}, "the calculation needed more memory than the machine could provide", {}};
}

}  // namespace kavrin
