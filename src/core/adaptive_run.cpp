#include "core/adaptive_run.h"

#include <algorithm>
#include <cmath>

#include "core/methods.h"
#include "core/number_text.h"
#include "core/reference.h"
#include "core/requests.h"
#include "core/text.h"
#include "ode/march.h"
#include "ode/wide.h"

namespace kavrin {
namespace {

Failure Wrong(std::string text) { return {FailureKind::WrongInput, {Field::Tolerance}, {}, std::move(text), {}}; }

}  // namespace

std::optional<Failure> ReadTolerance(const std::string& text, const char* name, double& value) {
  const std::string_view t = Trimmed(text);
  if (t.empty() || !IsPlainNumber(t) || Caught([&] { value = ReadNumber(t, name, Field::Tolerance); }))
    return Wrong(std::string(name) + " " + QuotedInput(text) +
                 " is not a number. Enter a positive number up to 1, such as 1e-8.");
  if (!(value > 0) || value > 1)
    return Wrong(std::string(name) + " " + QuotedInput(text) +
                 " is not between 0 and 1. Enter a positive number up to 1, such as 1e-8.");
  if (value < kSmallestTolerance) {
    return Wrong(std::string(name) + " " + QuotedInput(text) +
                 " is below what double can honour: its estimate would be " + "rounding. Enter at least " +
                 SignificantText(kSmallestTolerance, 2) + ".");
  }
  return std::nullopt;
}

std::optional<Failure> NoPairFailure(Method method) {
  if (PairOrder(method)) return std::nullopt;
  std::string ids;
  for (const std::string& id : PairedMethodIds()) ids += (ids.empty() ? "" : ", ") + id;
  return Failure{FailureKind::WrongInput,
                 {Field::Methods},
                 {},
                 std::string(Info(method).result_name) +
                     " has no embedded pair to choose its steps with; the methods that have one: " + ids + ".",
                 {}};
}

Outcome<AdaptiveRequest> ReadAdaptiveRequest(std::shared_ptr<const Problem> problem, const AdaptiveTexts& texts) {
  AdaptiveRequest r;
  r.problem = problem ? std::move(problem) : BuiltInProblem();
  if (Caught([&] { r.x1 = ReadNumber(texts.x1); }) || !std::isfinite(r.x1 - r.problem->start.x))
    return Failure{
        FailureKind::WrongInput, {Field::X1}, {}, QuotedInput(texts.x1) + " is too large to compute with.", {}};
  const Outcome<std::vector<Method>> method = ReadMethodList(texts.method, false);
  if (!method.ok()) return method.failure();
  r.method = method.value().front();
  if (std::optional<Failure> f = NoPairFailure(r.method)) return *f;
  r.settings.order = PairOrder(r.method).value_or(4);
  double tolerance = 1e-6;
  if (std::optional<Failure> f = ReadTolerance(texts.tolerance, "the tolerance", tolerance)) return *f;
  r.settings.atol = r.settings.rtol = tolerance;
  if (!Trimmed(texts.atol).empty())
    if (std::optional<Failure> f = ReadTolerance(texts.atol, "atol", r.settings.atol)) return *f;
  if (!Trimmed(texts.rtol).empty())
    if (std::optional<Failure> f = ReadTolerance(texts.rtol, "rtol", r.settings.rtol)) return *f;
  if (!Trimmed(texts.first_step).empty()) {
    const std::string_view t = Trimmed(texts.first_step);
    if (!IsPlainNumber(t) || Caught([&] { r.settings.first_step = ReadNumber(t); }) || !(r.settings.first_step > 0) ||
        !std::isfinite(r.settings.first_step))
      return Wrong("the first step " + QuotedInput(texts.first_step) +
                   " is not a positive number. Enter one such as 0.01, or nothing to have it chosen.");
  }
  if (!Trimmed(texts.max_steps).empty()) {
    const std::string_view t = Trimmed(texts.max_steps);
    double n = 0;
    if (!IsPlainNumber(t) || Caught([&] { n = ReadNumber(t); }) || !(n >= 1) || n != std::floor(n) || n > 1e9)
      return Wrong("the budget of steps " + QuotedInput(texts.max_steps) + " is not a whole number from 1 to 10^9.");
    r.settings.max_steps = static_cast<std::size_t>(n);
  }
  return r;
}

AdaptiveMarch MarchPair(const AdaptiveRequest& request, const std::atomic<bool>* cancel) {
  const Problem& problem = *request.problem;
  return WithSystem(problem, [&](const auto& system) {
    // Fehlberg's and Merson's own steps, so that an accepted step is their fixed step.
    if (request.method == Method::RKF)
      return MarchAdaptive(CodedPair<RKF>{}, system, problem.start, request.x1, request.settings, cancel);
    if (request.method == Method::RKM)
      return MarchAdaptive(CodedPair<RKM>{}, system, problem.start, request.x1, request.settings, cancel);
    return MarchAdaptive(TableauPair{&ButcherTableau(request.method)}, system, problem.start, request.x1,
                         request.settings, cancel);
  });
}

std::optional<WideValues> ReplayWide(const AdaptiveRequest& request, const AdaptiveMarch& march) {
  const Problem& problem = *request.problem;
  const double direction = request.x1 >= problem.start.x ? 1 : -1;
  State<WideReal> s{WideReal(problem.start.x), WideReal(problem.start.y1), WideReal(problem.start.y2)};
  const bool finite = WithSystem(problem, [&](const auto& system) {
    return WithStep(request.method, [&](auto step) {
      for (std::size_t i = 1; i < march.accepted.size(); ++i) {
        s = step.Step(system, s, WideReal(direction * march.accepted[i].h));
        if (!AllFinite(s)) return false;
      }
      return true;
    });
  });
  if (!finite) return std::nullopt;
  return WideValues{ToLong(s.y1), ToLong(s.y2)};
}

AdaptiveRun RunAdaptive(const AdaptiveRequest& request, const std::atomic<bool>* cancel) {
  AdaptiveRun run;
  run.request = request;
  const Problem& problem = *request.problem;
  run.march = MarchPair(request, cancel);
  if (run.march.stop != AdaptiveMarch::Stop::Reached) return run;
  ReferenceLimits limits;
  limits.cancel = cancel;
  const Reference reference = problem.built_in() ? BuiltInReference(request.x1, {}, limits)
                                                 : TypedReference(*problem.own, request.x1, {}, limits);
  if (!reference.valid()) {
    run.no_reference = "no reference at x1 to measure the error against";
    return run;
  }
  const AdaptiveStep& end = run.march.accepted.back();
  run.error = static_cast<double>(std::max(std::fabs(end.y1 - reference.y1), std::fabs(end.y2 - reference.y2)));
  return run;
}

std::optional<Failure> AdaptiveStopFailure(const AdaptiveRun& run) {
  const AdaptiveMarch& m = run.march;
  const Where where{Field::None, 0, static_cast<std::int64_t>(m.accepted.size()), m.stop_x};
  const std::string at = "at x = " + PlainRoundTripText(m.stop_x);
  switch (m.stop) {
    case AdaptiveMarch::Stop::Reached:
      return std::nullopt;
    case AdaptiveMarch::Stop::Budget:
      return Failure{FailureKind::WrongInput,
                     where,
                     {},
                     "the budget of " + WholeText(static_cast<double>(run.request.settings.max_steps)) +
                         " steps tried ran out " + at + ".",
                     "Allow more steps, or a larger tolerance."};
    case AdaptiveMarch::Stop::StepTooSmall:
      return Failure{FailureKind::WrongInput,
                     where,
                     {},
                     "the step size fell to " + SignificantText(m.stop_h, 3) + ", which no longer moves x, " + at + ".",
                     "The solution may be singular there: enter a target point x1 before it."};
    case AdaptiveMarch::Stop::Overflow:
      return Failure{FailureKind::Overflow,
                     where,
                     {},
                     "the solution grew too large to compute with " + at + ".",
                     "Enter a target point x1 nearer to the start."};
    case AdaptiveMarch::Stop::Cancelled:
      return Failure{FailureKind::WrongInput, where, {}, "cancelled " + at + ".", {}};
  }
  return std::nullopt;
}

std::vector<std::string> AdaptiveReport(const AdaptiveRun& run) {
  const AdaptiveMarch& m = run.march;
  const AdaptiveStep& end = m.accepted.back();
  std::vector<std::string> lines;
  lines.push_back(ResultLine(end.x, end.y1, end.y2, Info(run.request.method).result_name, "."));
  double smallest = HUGE_VAL, largest = 0;
  for (std::size_t i = 1; i < m.accepted.size(); ++i) {
    smallest = std::min(smallest, m.accepted[i].h);
    largest = std::max(largest, m.accepted[i].h);
  }
  const std::size_t steps = m.accepted.size() - 1;
  std::string counts = WholeText(static_cast<double>(steps)) + (steps == 1 ? " step accepted, " : " steps accepted, ") +
                       WholeText(static_cast<double>(m.rejected.size())) + " rejected, " +
                       WholeText(static_cast<double>(m.evaluations)) + " evaluations";
  if (steps > 0) counts += "; h from " + SignificantText(smallest, 3) + " to " + SignificantText(largest, 3);
  lines.push_back(counts);
  lines.push_back(run.error ? "error against the reference at x1: " + SignificantText(*run.error, 3)
                            : run.no_reference);
  return lines;
}

std::string AdaptiveCsv(const AdaptiveRun& run) {
  std::string csv = "i,x,y1,y2,h,estimate\n";
  for (std::size_t i = 0; i < run.march.accepted.size(); ++i) {
    const AdaptiveStep& s = run.march.accepted[i];
    csv += std::to_string(i) + "," + RoundTripText(s.x) + "," + RoundTripText(s.y1) + "," + RoundTripText(s.y2) + "," +
           RoundTripText(s.h) + "," + RoundTripText(s.estimate) + "\n";
  }
  return csv;
}

}  // namespace kavrin
