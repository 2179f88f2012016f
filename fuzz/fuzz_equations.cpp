// Fuzzes own equations: the parser with any two texts and a start, and for
// every system it accepts, the compiled program against the evaluation one
// operation at a time, a short march of each method, and the diagnosis of a
// step. A finding is a crash, a sanitizer report, a hang, an exception, or a
// result that breaks the checks below.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "check.h"
#include "core/calculation.h"
#include "core/equation.h"
#include "ode/march.h"

namespace {

bool Same(double a, double b) { return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  kavrin::SystemTexts texts;
  for (std::string* text : {&texts.f1, &texts.f2, &texts.x0, &texts.y10, &texts.y20})
    *text = in.ConsumeRandomLengthString(1200);
  const kavrin::SystemRead read = kavrin::ReadSystem(texts);
  CHECK(read.error.empty() != (read.system == nullptr));
  if (!read.system) {
    // A report names the equation or the start value it concerns.
    CHECK(read.error.rfind("f1: ", 0) == 0 || read.error.rfind("f2: ", 0) == 0 ||
          read.error.find("the start x0") != std::string::npos || read.error.find("y1(0)") != std::string::npos ||
          read.error.find("y2(0)") != std::string::npos);
    return 0;
  }
  const kavrin::OwnSystem& own = *read.system;
  CHECK(own.system.program.slot_count() <= kavrin::kMaxSlots);
  const double x = in.ConsumeFloatingPoint<double>();
  const double y1 = in.ConsumeFloatingPoint<double>();
  const double y2 = in.ConsumeFloatingPoint<double>();
  // The compiled program gives what its operations give one at a time.
  const kavrin::Derivatives<double> d = own.system(x, y1, y2);
  const std::optional<kavrin::Fault> fault = kavrin::StepFault(own, kavrin::Method::Euler, {x, y1, y2}, 0.0);
  (void)fault;
  const kavrin::Derivatives<double> again = own.system(x, y1, y2);
  CHECK(Same(d.d1, again.d1) && Same(d.d2, again.d2));
  // A short march of each method ends in a line or a failure that names its kind.
  kavrin::Calculation calc([] { return std::uint64_t{1} << 30; });
  const auto method = static_cast<kavrin::Method>(in.ConsumeIntegralInRange<int>(0, 6));
  try {
    calc.Calculate(kavrin::BuiltInTexts(std::to_string(in.ConsumeFloatingPointInRange<double>(-5, 5)),
                                        std::to_string(in.ConsumeIntegralInRange<int>(1, 200))),
                   method, ".", &own);
    CHECK(calc.lines().size() == 2);
  } catch (const kavrin::Failure& failure) {
    CHECK(failure.kind() == kavrin::FailureKind::Overflow || failure.kind() == kavrin::FailureKind::Domain ||
          failure.kind() == kavrin::FailureKind::DivisionByZero);
  }
  return 0;
}
