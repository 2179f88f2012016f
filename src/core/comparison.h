#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/adaptive_run.h"
#include "core/equation.h"
#include "core/failure.h"
#include "core/problem.h"
#include "core/reference.h"
#include "core/requests.h"
#include "core/solution_tables.h"
#include "core/study.h"
#include "ode/method_table.h"

namespace kavrin {

// How many steps a comparison takes before the user types.
inline constexpr char kDefaultCompareSteps[] = "20";

// A comparison's inputs as a face collects them.
struct ComparisonTexts {
  std::string x1 = kDefaultStudyX1;
  std::string N = kDefaultCompareSteps;
  std::string methods = AllMethodIds();  // ids or result names, separated by commas
  std::string field_x;                   // where the direction field is taken; empty: the start x0
  std::string invariant;                 // H(x, y1, y2); empty: none
  std::string tolerance;                 // for h along x of the pairs among the methods; empty: none
};

// A comparison as asked for: the problem, x1, one N, the methods, the field's
// x and the invariant, if any.
struct ComparisonRequest {
  std::shared_ptr<const Problem> problem = BuiltInProblem();
  double x1 = 1;
  double N = 20;
  std::vector<Method> methods;
  double field_x = 0;
  std::shared_ptr<const Invariant> invariant;
  double tolerance = 0;  // 0: no steps chosen
};

// Reads them for `problem`; a wrong text is a failure naming its field.
Outcome<ComparisonRequest> ReadComparisonRequest(std::shared_ptr<const Problem> problem, const ComparisonTexts& texts);

// The bytes one step of a comparison keeps: each method's x, y1 and y2, and
// the reference's y1 and y2.
std::uint64_t ComparisonBytesPerStep(std::size_t methods);

// One method's march, as a press computes it, bit for bit.
struct ComparedPath {
  Method method = Method::Euler;
  SolutionTables tables;  // the start and every step up to a failure
  std::string failure;    // where the march left the numbers, or empty
  std::size_t failed_step = 0;
  double largest_error = 0;  // over every step it took, where there is a reference
};

// The methods' paths over the same steps, the reference at every step's x,
// and what is measured from them on the fly: each step's error and the
// invariant's drift.
struct Comparison {
  std::shared_ptr<const Problem> problem = BuiltInProblem();
  double x1 = 0;
  double N = 0;
  double h = 0;
  double field_x = 0;
  std::shared_ptr<const Invariant> invariant;
  double invariant_start = 0;  // H at the start
  bool cancelled = false;
  double last_x = 0;         // x after N steps, as every march forms it
  ReferencePath reference;   // at each of those x
  std::string no_reference;  // why there is no reference line, or empty
  std::vector<ComparedPath> paths;
  // With a tolerance: each method with an embedded pair choosing its own
  // steps to x1 (h along x), and a note when none of them has one.
  double tolerance = 0;
  std::vector<AdaptiveRun> adaptive;
  std::string no_pairs;

  bool has_reference() const { return no_reference.empty() && !cancelled; }
  // The larger of |y1 - y1 ref| and |y2 - y2 ref| after i steps; NaN without a reference.
  double Error(const ComparedPath& path, std::size_t i) const;
  // H(x, y1, y2) - H at the start after i steps; NaN where H is not defined.
  double Drift(const ComparedPath& path, std::size_t i) const;
  double InvariantAt(const ComparedPath& path, std::size_t i) const;
  // x after i steps, from a path that took them; NaN when none did.
  double X(std::size_t i) const;
  // Where the result of double rounding lies after i steps: half an ulp of
  // the reference's larger value, relative to it (2^-53 of it).
  double RoundingFloor(std::size_t i) const;
};

// Marches every method with N steps and integrates the reference along the
// same x, side by side on the threads; progress and cancel as the study's.
// A request whose tables do not fit in `available` bytes is refused with the
// largest N that fits.
using MemoryProbe = std::function<std::uint64_t()>;
Outcome<Comparison> RunComparison(const ComparisonRequest& request, const StudyProgress& progress = {},
                                  const MemoryProbe& available = {});

// A line per method, where its path ended, its largest error and, with an
// invariant, its drift at the end ("rk4       reached x1; largest error
// 2.28e-14; drift -3.5e-05"), then why there is no reference, if there is none.
std::vector<std::string> ComparisonNotes(const Comparison& comparison);

// The rows as CSV: method,i,x,y1,y2,ref_y1,ref_y2,error (and invariant,drift
// with an invariant), a method's rows after another's, the numbers in their
// shortest round-trip form with "."; a value there is none of is left empty.
// Handed to `sink` a block at a time; false once the sink fails.
bool WriteComparisonCsv(const Comparison& comparison, const std::function<bool(std::string_view)>& sink);

}  // namespace kavrin
