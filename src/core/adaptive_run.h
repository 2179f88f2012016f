#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/failure.h"
#include "core/problem.h"
#include "ode/adaptive.h"
#include "ode/method_table.h"

namespace kavrin {

// The smallest tolerance double can honour: below it the estimate is
// rounding, not truncation.
inline constexpr double kSmallestTolerance = 100 * DBL_EPSILON;
inline constexpr std::size_t kDefaultMaxSteps = 100000;

// An adaptive run as typed: x1, one method with an embedded pair, the
// tolerance (atol = rtol = it) and, optionally, atol and rtol apart, the
// first step and the budget of steps tried.
struct AdaptiveTexts {
  std::string x1;
  std::string method;
  std::string tolerance;
  std::string atol;
  std::string rtol;
  std::string first_step;
  std::string max_steps;
};

struct AdaptiveRequest {
  std::shared_ptr<const Problem> problem = BuiltInProblem();
  double x1 = 1;
  Method method = Method::RKF;
  AdaptiveSettings settings;
};

// A tolerance as typed: a plain positive number, at most 1 and at least
// what double can honour; a failure naming `name` otherwise.
std::optional<Failure> ReadTolerance(const std::string& text, const char* name, double& value);

// The failure of choosing steps with a method that has no embedded pair,
// naming those that have one; nullopt for a pair.
std::optional<Failure> NoPairFailure(Method method);

// Reads them for `problem`; a wrong text is a failure naming its field.
Outcome<AdaptiveRequest> ReadAdaptiveRequest(std::shared_ptr<const Problem> problem, const AdaptiveTexts& texts);

// The march and what it is measured by: the reference at x1, where there is
// one, and why not otherwise.
struct AdaptiveRun {
  AdaptiveRequest request;
  AdaptiveMarch march;
  std::optional<double> error;  // max(|y1 - y1 ref|, |y2 - y2 ref|) at x1
  std::string no_reference;
};

AdaptiveRun RunAdaptive(const AdaptiveRequest& request, const std::atomic<bool>* cancel = nullptr);

// The march alone: Fehlberg's and Merson's own steps, any other pair
// through its tableau.
AdaptiveMarch MarchPair(const AdaptiveRequest& request, const std::atomic<bool>* cancel = nullptr);

// The accepted steps of `march` taken again with the same sizes in the wide
// type: where they end, so that its distance from the march is the march's
// own rounding. nullopt where the wide values leave the range of numbers.
struct WideValues {
  long double y1 = 0;
  long double y2 = 0;
};
std::optional<WideValues> ReplayWide(const AdaptiveRequest& request, const AdaptiveMarch& march);

// Why the march stopped short of x1, as a failure with what to do, or
// nullopt when it reached x1.
std::optional<Failure> AdaptiveStopFailure(const AdaptiveRun& run);

// The result line at x1 as a press gives it ("." as the separator), then the
// steps accepted and rejected, the evaluations, the smallest and largest h
// and the error against the reference.
std::vector<std::string> AdaptiveReport(const AdaptiveRun& run);

// The accepted steps as CSV: i,x,y1,y2,h,estimate (the start as row 0).
std::string AdaptiveCsv(const AdaptiveRun& run);

}  // namespace kavrin
