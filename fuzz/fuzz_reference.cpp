// Fuzzes the reference of own systems: the Taylor series by automatic
// differentiation of any equations the parser accepts, from any start to a
// target point near it. A finding is a crash, a sanitizer report, a hang, or a
// reference that claims what it does not have: a valid one with values or a
// bound that are no numbers, or an invalid one that says it went past x1.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <string>

#include "check.h"
#include "core/problem.h"
#include "core/reference.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  kavrin::SystemTexts texts;
  // Short equations: the reference's work grows with the square of their length.
  for (std::string* text : {&texts.f1, &texts.f2}) *text = in.ConsumeRandomLengthString(60);
  for (std::string* text : {&texts.x0, &texts.y10, &texts.y20})
    *text = std::to_string(in.ConsumeFloatingPointInRange<double>(-4, 4));
  const kavrin::Outcome<std::shared_ptr<const kavrin::Problem>> read = kavrin::ReadProblem(texts);
  if (!read.ok() || read.value()->own == nullptr) return 0;
  const kavrin::Problem& problem = *read.value();
  const double x1 = problem.start.x + in.ConsumeFloatingPointInRange<double>(-2, 2);
  // A lighter pair of series than the study's, and less work, so that a run
  // takes moments even under the sanitizers.
  kavrin::ReferenceLimits limits;
  limits.work = 20'000'000;
  const kavrin::Reference r = kavrin::TypedReference(*problem.own, x1, {16, 1e-16L, 10, 1e-12L}, limits);
  if (r.valid()) {
    CHECK(std::isfinite(static_cast<double>(r.y1)) && std::isfinite(static_cast<double>(r.y2)));
    CHECK(r.error_bound >= 0);
  } else {
    // It stopped on the way, between the start and x1, and says why.
    CHECK(r.stop != kavrin::Reference::Stop::None && r.stop != kavrin::Reference::Stop::Cancelled);
    CHECK(std::isfinite(r.reached));
    CHECK(x1 >= problem.start.x ? r.reached >= problem.start.x && r.reached <= x1
                                : r.reached <= problem.start.x && r.reached >= x1);
  }
  return 0;
}
