#include "core/study.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <mutex>

#include "core/adaptive_run.h"
#include "core/equation.h"
#include "core/methods.h"
#include "ode/march.h"
#include "ode/wide.h"
#include "platform/threads.h"

namespace kavrin {
namespace {

// A truncation within this many times the reference's error bound is out of
// the reference's reach: its size is not known.
constexpr double kReferenceReach = 10;

// A run's march alone, timed: repeated until this much time has passed.
constexpr std::chrono::milliseconds kTiming{10};

// The end of a run's march in the wide type.
struct WideEnd {
  long double y1 = 0;
  long double y2 = 0;
  bool finished = false;
};

bool Cancelled(const std::atomic<bool>* cancel) { return cancel != nullptr && cancel->load(std::memory_order_relaxed); }

// A march of `steps` steps from `state`, in its number type, keeping only its end.
template <typename Real>
MarchEnd MarchTo(const Problem& problem, Method method, State<Real>& state, std::size_t steps, Real h,
                 const std::atomic<bool>* cancel) {
  return WithSystem(problem, [&](const auto& equations) {
    return WithStep(method, [&](auto step) { return MarchToEnd(step, equations, state, steps, h, cancel); });
  });
}

// Marks a run whose march left the numbers, and says where.
void MarkFailed(StudyRun& run, const Problem& problem, const State<double>& before, std::size_t step) {
  const Failure failure = MarchFailure(problem, run.method, before, run.h, step);
  run.mark = failure.kind == FailureKind::Overflow        ? Mark::Overflow
             : failure.kind == FailureKind::NoConvergence ? Mark::NoConvergence
                                                          : Mark::Domain;
  run.failure = Describe(failure);
}

// The run in double, as the window computes it (h = (x1 - x0)/N, floor(N)
// steps from the start), and again in the wide type, whose h is the wide
// quotient, so that its distance from the double run is all of that run's
// rounding: of h, of x's repeated additions and of every step. False when
// cancelled.
bool MarchTwice(StudyRun& run, const Problem& problem, double x1, const std::atomic<bool>* cancel, WideEnd& wide_end) {
  const State<double> start = problem.start;
  run.h = (x1 - start.x) / run.N;
  const auto steps = static_cast<std::size_t>(std::floor(run.N));
  State<double> end = start;
  const MarchEnd march = MarchTo(problem, run.method, end, steps, run.h, cancel);
  if (march.cancelled) return false;
  run.y1 = end.y1;
  run.y2 = end.y2;
  if (march.failed_step != 0) {
    MarkFailed(run, problem, end, march.failed_step);
    return true;
  }
  State<WideReal> wide{WideReal(start.x), WideReal(start.y1), WideReal(start.y2)};
  const WideReal h = (WideReal(x1) - WideReal(start.x)) / WideReal(run.N);
  const MarchEnd wide_march = MarchTo(problem, run.method, wide, steps, h, cancel);
  if (wide_march.cancelled) return false;
  wide_end = {ToLong(wide.y1), ToLong(wide.y2), wide_march.failed_step == 0};
  return true;
}

// The least-squares slope of y against x.
double LeastSquaresSlope(const std::vector<std::pair<double, double>>& points) {
  const auto count = static_cast<double>(points.size());
  double sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (const auto& [x, y] : points) {
    sx += x;
    sy += y;
    sxx += x * x;
    sxy += x * y;
  }
  return (count * sxy - sx * sy) / (count * sxx - sx * sx);
}

// The seconds one call of `march` takes: repeated until kTiming has passed
// (or a cancel), and divided.
template <typename March>
double Timed(const March& march, const std::atomic<bool>* cancel) {
  const auto begin = std::chrono::steady_clock::now();
  std::size_t repeats = 0;
  do {
    march();
    ++repeats;
  } while (std::chrono::steady_clock::now() - begin < kTiming && !Cancelled(cancel));
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count() / static_cast<double>(repeats);
}

// The double march alone, timed.
double MarchSeconds(const StudyRun& run, const Problem& problem, const std::atomic<bool>* cancel) {
  const auto steps = static_cast<std::size_t>(std::floor(run.N));
  volatile double sink = 0;
  return Timed(
      [&] {
        State<double> end = problem.start;
        MarchTo(problem, run.method, end, steps, run.h, cancel);
        sink = end.y1;
      },
      cancel);
}

// Tells the progress, one call at a time: the reference's share first, then
// a unit per run (and per timing).
class Tally {
 public:
  Tally(const StudyProgress& progress, std::size_t reference, std::size_t runs)
      : m_progress(progress), m_reference(reference), m_total(reference + runs) {}
  // The reference has come this far (a fraction).
  void Reference(double fraction) {
    const auto done = static_cast<std::size_t>(fraction * static_cast<double>(m_reference));
    if (done <= m_done || !m_progress.tell) return;
    m_done = done;
    m_progress.tell(m_done, m_total);
  }
  // The reference is done, and then each run.
  void ReferenceDone() { m_done = m_reference; }
  void Done() {
    if (!m_progress.tell) return;
    const std::lock_guard<std::mutex> hold(m_lock);
    m_progress.tell(++m_done, m_total);
  }

 private:
  const StudyProgress& m_progress;
  std::size_t m_reference;
  std::size_t m_total;
  std::mutex m_lock;
  std::size_t m_done = 0;
};

// The reference's share of the progress: a third as many units as runs.
std::size_t ReferenceUnits(std::size_t runs) { return std::max<std::size_t>(10, runs / 3); }

// Every run, twice, on the threads; the largest first, so that the threads
// finish together. False when cancelled.
bool MarchAll(Study& study, const StudyRequest& request, const StudyProgress& progress, Tally& tally,
              std::vector<WideEnd>& wide) {
  std::vector<std::size_t> order(study.runs.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t l, std::size_t r) { return study.runs[l].N > study.runs[r].N; });
  wide.assign(study.runs.size(), {});
  std::atomic<std::size_t> next{0};
  std::atomic<bool> stopped{false};
  auto work = [&] {
    for (std::size_t k = next++; k < order.size() && !stopped; k = next++) {
      if (Cancelled(progress.cancel) ||
          !MarchTwice(study.runs[order[k]], *study.problem, study.x1, progress.cancel, wide[order[k]])) {
        stopped = true;
        return;
      }
      tally.Done();
    }
  };
  const unsigned threads = static_cast<unsigned>(std::min<std::size_t>(
      request.threads == 0 ? HardwareThreads() : request.threads, std::max<std::size_t>(order.size(), 1)));
  RunShares(threads, [&](unsigned) { work(); });
  return !stopped;
}

// The error and its parts of one run that did not fail, and its mark.
void Measure(StudyRun& run, const WideEnd& w, const Reference& ref, const StudyRun* previous) {
  run.rounding =
      w.finished ? static_cast<double>(std::max(std::fabs(run.y1 - w.y1), std::fabs(run.y2 - w.y2))) : HUGE_VAL;
  if (!ref.valid()) {
    run.mark = Mark::NoReference;
    return;
  }
  run.error = static_cast<double>(std::max(std::fabs(run.y1 - ref.y1), std::fabs(run.y2 - ref.y2)));
  run.truncation =
      w.finished ? static_cast<double>(std::max(std::fabs(w.y1 - ref.y1), std::fabs(w.y2 - ref.y2))) : HUGE_VAL;
  const bool round_off =
      !w.finished || run.rounding >= run.truncation || run.truncation <= kReferenceReach * ref.error_bound;
  const bool after = previous != nullptr && (previous->mark == Mark::First || previous->mark == Mark::Ok);
  run.mark = round_off ? Mark::RoundOff : after ? Mark::Ok : Mark::First;
  if (run.mark == Mark::Ok && run.truncation > 0 && previous->truncation > 0)
    run.order = std::log(previous->truncation / run.truncation) / std::log(run.N / previous->N);
}

// The marches timed one at a time, so that no run shares the machine. False
// when cancelled.
bool TimeAll(Study& study, const StudyProgress& progress, Tally& tally) {
  for (StudyRun& run : study.runs) {
    if (!run.failed()) run.seconds = MarchSeconds(run, *study.problem, progress.cancel);
    if (Cancelled(progress.cancel)) return false;
    tally.Done();
  }
  return true;
}

// The adaptive march a sweep run stands for.
AdaptiveRequest SweepRequest(const Study& study, const SweepRun& run) {
  AdaptiveRequest request;
  request.problem = study.problem;
  request.x1 = study.x1;
  request.method = run.method;
  request.settings.atol = request.settings.rtol = run.tolerance;
  request.settings.order = PairOrder(run.method).value_or(4);
  request.settings.max_steps = kDefaultMaxSteps;
  return request;
}

// A sweep run: the march, its failure or its values, and their distance
// from the reference and from the same steps in the wide type. False when
// cancelled.
bool MarchSwept(SweepRun& run, const Study& study, const std::atomic<bool>* cancel) {
  AdaptiveRun adaptive;
  adaptive.request = SweepRequest(study, run);
  adaptive.march = MarchPair(adaptive.request, cancel);
  const AdaptiveMarch& m = adaptive.march;
  if (m.stop == AdaptiveMarch::Stop::Cancelled) return false;
  run.steps = static_cast<double>(m.accepted.size() - 1);
  run.rejected = static_cast<double>(m.rejected.size());
  run.evaluations = static_cast<double>(m.evaluations);
  if (const std::optional<Failure> failure = AdaptiveStopFailure(adaptive)) {
    run.mark = m.stop == AdaptiveMarch::Stop::Overflow ? Mark::Overflow : Mark::StoppedShort;
    run.failure = Describe(*failure);
    return true;
  }
  run.y1 = m.accepted.back().y1;
  run.y2 = m.accepted.back().y2;
  const std::optional<WideValues> wide = ReplayWide(adaptive.request, m);
  run.rounding =
      wide ? static_cast<double>(std::max(std::fabs(run.y1 - wide->y1), std::fabs(run.y2 - wide->y2))) : HUGE_VAL;
  const Reference& ref = study.reference;
  if (!ref.valid()) {
    run.mark = Mark::NoReference;
    return true;
  }
  run.error = static_cast<double>(std::max(std::fabs(run.y1 - ref.y1), std::fabs(run.y2 - ref.y2)));
  run.truncation =
      wide ? static_cast<double>(std::max(std::fabs(wide->y1 - ref.y1), std::fabs(wide->y2 - ref.y2))) : HUGE_VAL;
  const bool round_off = !wide || run.rounding >= run.truncation || run.truncation <= kReferenceReach * ref.error_bound;
  run.mark = round_off ? Mark::RoundOff : Mark::Ok;
  return true;
}

// Every sweep run on the threads. False when cancelled.
bool SweepAll(Study& study, const StudyRequest& request, const StudyProgress& progress, Tally& tally) {
  std::atomic<std::size_t> next{0};
  std::atomic<bool> stopped{false};
  auto work = [&] {
    for (std::size_t k = next++; k < study.sweep.size() && !stopped; k = next++) {
      if (Cancelled(progress.cancel) || !MarchSwept(study.sweep[k], study, progress.cancel)) {
        stopped = true;
        return;
      }
      tally.Done();
    }
  };
  const unsigned threads = static_cast<unsigned>(std::min<std::size_t>(
      request.threads == 0 ? HardwareThreads() : request.threads, std::max<std::size_t>(study.sweep.size(), 1)));
  RunShares(threads, [&](unsigned) { work(); });
  return !stopped;
}

// Each sweep run's march timed alone.
bool TimeSweep(Study& study, const StudyProgress& progress, Tally& tally) {
  for (SweepRun& run : study.sweep) {
    if (run.mark == Mark::Ok || run.mark == Mark::RoundOff || run.mark == Mark::NoReference) {
      const AdaptiveRequest request = SweepRequest(study, run);
      run.seconds = Timed([&] { MarchPair(request, progress.cancel); }, progress.cancel);
    }
    if (Cancelled(progress.cancel)) return false;
    tally.Done();
  }
  return true;
}

}  // namespace

Failure MarchFailure(const Problem& problem, Method method, const State<double>& before, double h, std::size_t step) {
  if (std::optional<Failure> newton = NewtonFailure(problem, method, before, h, step)) return *newton;
  const std::optional<Fault> fault =
      problem.own != nullptr ? StepFault(*problem.own, method, before, h) : std::optional<Fault>();
  const bool domain = fault && fault->kind != FailureKind::Overflow;
  return {domain ? fault->kind : FailureKind::Overflow,
          {Field::None, 0, static_cast<std::int64_t>(step), before.x},
          {},
          domain ? "the equations meet " + fault->what + " in step " + std::to_string(step) + "."
                 : "the solution grew too large to compute with in step " + std::to_string(step) + ".",
          {}};
}

Study RunStudy(const StudyRequest& request, const StudyProgress& progress) {
  Study study;
  study.problem = request.problem ? request.problem : BuiltInProblem();
  study.x1 = request.x1;
  study.against = request.against;
  for (const Method method : request.methods) {
    for (const double N : request.steps) {
      StudyRun run;
      run.method = method;
      run.N = N;
      study.runs.push_back(run);
    }
  }
  for (const Method method : request.pairs) {
    for (const double tolerance : request.tolerances) {
      SweepRun run;
      run.method = method;
      run.tolerance = tolerance;
      study.sweep.push_back(run);
    }
  }
  const bool timed = request.against == Against::Seconds;
  const std::size_t units = (study.runs.size() + study.sweep.size()) * (timed ? 2 : 1);
  Tally tally(progress, ReferenceUnits(units), units);
  ReferenceLimits limits;
  limits.cancel = progress.cancel;
  limits.progress = [&tally](double fraction) { tally.Reference(fraction); };
  const Problem& problem = *study.problem;
  study.reference = problem.own != nullptr ? TypedReference(*problem.own, request.x1, {}, limits)
                                           : BuiltInReference(request.x1, {}, limits);
  if (study.reference.stop == Reference::Stop::Cancelled) {
    study.cancelled = true;
    return study;
  }
  tally.ReferenceDone();
  std::vector<WideEnd> wide;
  if (!MarchAll(study, request, progress, tally, wide)) {
    study.cancelled = true;
    return study;
  }
  // The order is taken between neighbouring N of one method.
  for (std::size_t i = 0; i < study.runs.size(); ++i) {
    StudyRun& run = study.runs[i];
    const StudyRun* previous = i > 0 && study.runs[i - 1].method == run.method ? &study.runs[i - 1] : nullptr;
    if (!run.failed()) Measure(run, wide[i], study.reference, previous);
  }
  if (!SweepAll(study, request, progress, tally) || (timed && !TimeAll(study, progress, tally)) ||
      (timed && !TimeSweep(study, progress, tally)))
    study.cancelled = true;
  return study;
}

std::vector<Method> StudyMethods(const Study& study) {
  std::vector<Method> methods;
  for (const StudyRun& run : study.runs)
    if (std::find(methods.begin(), methods.end(), run.method) == methods.end()) methods.push_back(run.method);
  return methods;
}

std::optional<double> FittedOrder(const Study& study, Method method) {
  std::vector<const StudyRun*> rows;
  for (const StudyRun& run : study.runs)
    if (run.method == method) rows.push_back(&run);
  // The last rows dominated by truncation, in a row.
  auto dominated = [](const StudyRun* run) {
    return (run->mark == Mark::First || run->mark == Mark::Ok) && run->truncation > 0;
  };
  auto end = rows.end();
  while (end != rows.begin() && !dominated(*(end - 1))) --end;
  auto begin = end;
  while (begin != rows.begin() && dominated(*(begin - 1)) && end - begin < 3) --begin;
  if (end - begin < 2) return std::nullopt;
  std::vector<std::pair<double, double>> points;
  for (auto it = begin; it != end; ++it) points.emplace_back(std::log((*it)->N), std::log((*it)->truncation));
  return -LeastSquaresSlope(points);
}

double Abscissa(const Study& study, const SweepRun& run) {
  switch (study.against) {
    case Against::Evaluations:
      return run.evaluations;
    case Against::Seconds:
      return run.seconds;
    case Against::Steps:
      break;
  }
  return run.steps;
}

std::vector<Method> SweepMethods(const Study& study) {
  std::vector<Method> methods;
  for (const SweepRun& run : study.sweep)
    if (std::find(methods.begin(), methods.end(), run.method) == methods.end()) methods.push_back(run.method);
  return methods;
}

std::optional<double> ToleranceSlope(const Study& study, Method method) {
  std::vector<std::pair<double, double>> points;
  for (const SweepRun& run : study.sweep)
    if (run.method == method && run.drawn() && run.error > 0)
      points.emplace_back(std::log(run.tolerance), std::log(run.error));
  if (points.size() < 2) return std::nullopt;
  return LeastSquaresSlope(points);
}

double Abscissa(const Study& study, const StudyRun& run) {
  switch (study.against) {
    case Against::Evaluations:
      return run.evaluations();
    case Against::Seconds:
      return run.seconds;
    case Against::Steps:
      break;
  }
  return run.N;
}

}  // namespace kavrin
