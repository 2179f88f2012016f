// Fuzzes own equations: the parser with any two texts and a start, and for
// every system it accepts, the diagnosis of its evaluation, a short march of
// each method and the result it ends in. A finding is a crash, a sanitizer
// report, a hang, an exception, or a result that breaks the checks below.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <string>

#include "check.h"
#include "core/session.h"
#include "ode/march.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  kavrin::SystemTexts texts;
  for (std::string* text : {&texts.f1, &texts.f2, &texts.x0, &texts.y10, &texts.y20})
    *text = in.ConsumeRandomLengthString(1200);
  const kavrin::Outcome<std::shared_ptr<const kavrin::Problem>> read = kavrin::ReadProblem(texts);
  if (!read.ok()) {
    // A report names the equation or the start value it concerns.
    const kavrin::Field field = read.failure().where.field;
    CHECK(field == kavrin::Field::F1 || field == kavrin::Field::F2 || field == kavrin::Field::X0 ||
          field == kavrin::Field::Y10 || field == kavrin::Field::Y20);
    CHECK(read.failure().kind == kavrin::FailureKind::WrongInput && !kavrin::Describe(read.failure()).empty());
    return 0;
  }
  // No control character but a tab gets into an accepted equation.
  for (const std::string* text : {&texts.f1, &texts.f2})
    for (const char c : *text) CHECK(static_cast<unsigned char>(c) >= 0x20 ? c != 0x7F : c == '\t');
  const kavrin::Problem& problem = *read.value();
  if (problem.own != nullptr) {
    const kavrin::OwnSystem& own = *problem.own;
    CHECK(own.system.program.slot_count() <= kavrin::kMaxSlots);
    // An evaluation at finite arguments that gives no number went through an
    // operation that left the numbers, which the diagnosis names: a step of
    // h = 0 evaluates the system once, at the start.
    const double x = in.ConsumeFloatingPointInRange<double>(-1e6, 1e6);
    const double y1 = in.ConsumeFloatingPointInRange<double>(-1e6, 1e6);
    const double y2 = in.ConsumeFloatingPointInRange<double>(-1e6, 1e6);
    const kavrin::Derivatives<double> d = own.system(x, y1, y2);
    const std::optional<kavrin::Fault> fault = kavrin::StepFault(own, kavrin::Method::Euler, {x, y1, y2}, 0.0);
    if (!std::isfinite(d.d1) || !std::isfinite(d.d2)) CHECK(fault.has_value());
    if (fault) CHECK(fault->what.find(", column ") != std::string::npos);
  }
  // A short march of each method ends in a line or a failure that names its kind.
  kavrin::Session session([] { return std::uint64_t{1} << 30; });
  CHECK(!session.Accept(texts));
  kavrin::PressRequest request;
  request.x1 = std::to_string(in.ConsumeFloatingPointInRange<double>(-5, 5));
  request.N = std::to_string(in.ConsumeIntegralInRange<int>(1, 200));
  request.method = static_cast<kavrin::Method>(in.ConsumeIntegralInRange<int>(0, kavrin::kMethodCount - 1));
  const kavrin::PressResult press = session.Press(request);
  if (press.failure) {
    const kavrin::FailureKind kind = press.failure->kind;
    CHECK(kind == kavrin::FailureKind::Overflow || kind == kavrin::FailureKind::Domain ||
          kind == kavrin::FailureKind::DivisionByZero || kind == kavrin::FailureKind::NoConvergence);
    CHECK(press.lines.empty());
  } else {
    CHECK(press.lines.size() == 2);
  }
  return 0;
}
