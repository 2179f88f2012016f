// Fuzzes methods typed as tableaux: the reader with any text, and for every
// tableau it reads, the analysis (the order conditions in fractions and in
// double, the stability function and intervals) and, for an explicit one
// with an order, a short march as a method. A finding is a crash, a
// sanitizer report, a hang, an exception, or a result that breaks the
// checks below.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <string>

#include "check.h"
#include "core/methods.h"
#include "ode/march.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const std::string text = in.ConsumeRemainingBytesAsString();
  const kavrin::Outcome<kavrin::TypedTableau> read = kavrin::ReadTableau(text);
  if (!read.ok()) {
    // A refusal names the tableau and its line, or says that it has no stages.
    CHECK(read.failure().where.field == kavrin::Field::Tableau);
    CHECK(read.failure().text.rfind("line ", 0) == 0 || read.failure().text.rfind("the tableau has no", 0) == 0);
    return 0;
  }
  const kavrin::TypedTableau& typed = read.value();
  CHECK(typed.tableau.stages >= 1 && typed.tableau.stages <= kavrin::kMaxStages);
  const kavrin::TableauAnalysis analysis = kavrin::AnalyseTableau(typed);
  CHECK(analysis.order.order >= 0 && analysis.order.order <= kavrin::kMaxCheckedOrder);
  // Where the fractions hold, they and double agree on the order.
  if (analysis.order.exact && analysis.order.order < kavrin::kMaxCheckedOrder)
    CHECK(kavrin::CheckOrder(typed.tableau, nullptr, false).order <= analysis.order.order + 1);
  CHECK(!kavrin::AnalysisLines(typed, analysis).empty());
  if (!analysis.explicit_method || analysis.order.order < 1) return 0;
  const kavrin::Outcome<kavrin::Method> added = kavrin::AddTableauMethod("fuzzed", text);
  if (!added.ok()) return 0;  // too many methods
  kavrin::State<double> s = kavrin::BuiltInSystem::kStart;
  kavrin::WithStep(added.value(),
                   [&](auto step) { return kavrin::MarchToEnd(step, kavrin::BuiltInSystem{}, s, 10, 0.1); });
  return 0;
}
