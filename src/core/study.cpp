#include "core/study.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <mutex>

#include "core/calculation.h"
#include "core/number_text.h"
#include "ode/failure.h"
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

// The run in double, as the window computes it (h = (x1 - x0)/N, floor(N)
// steps from the start), and again in the wide type, whose h is the wide
// quotient, so that its distance from the double run is all of that run's
// rounding: of h, of x's repeated additions and of every step. False when
// cancelled.
bool MarchTwice(StudyRun& run, const OwnSystem* system, double x1, const std::atomic<bool>* cancel, WideEnd& wide_end) {
  const State<double> start = system != nullptr ? system->system.start : BuiltInSystem::kStart;
  run.h = (x1 - start.x) / run.N;
  const auto steps = static_cast<std::size_t>(std::floor(run.N));
  State<double> end = start;
  const MarchEnd march = WithSystem(system, [&](const auto& equations) {
    return WithStep(run.method,
                    [&](auto step) { return MarchToEnd<decltype(step)>(equations, end, steps, run.h, cancel); });
  });
  if (march.cancelled) return false;
  run.y1 = end.y1;
  run.y2 = end.y2;
  if (march.failed_step != 0) {
    const std::optional<Fault> fault =
        system != nullptr ? StepFault(*system, run.method, end, run.h) : std::optional<Fault>();
    run.mark = fault && fault->kind != FailureKind::Overflow ? Mark::Domain : Mark::Overflow;
    run.failure = fault && fault->kind != FailureKind::Overflow
                      ? Failure(fault->kind, "the equations meet " + fault->what + " in step " +
                                                 std::to_string(march.failed_step) + ".")
                            .what()
                      : Failure(FailureKind::Overflow, "the solution grew too large to compute with in step " +
                                                           std::to_string(march.failed_step) + ".")
                            .what();
    return true;
  }

  State<WideReal> wide{WideReal(start.x), WideReal(start.y1), WideReal(start.y2)};
  const WideReal h = (WideReal(x1) - WideReal(start.x)) / WideReal(run.N);
  const MarchEnd wide_march = WithSystem(system, [&](const auto& equations) {
    return WithStep(run.method,
                    [&](auto step) { return MarchToEnd<decltype(step)>(equations, wide, steps, h, cancel); });
  });
  if (wide_march.cancelled) return false;
  wide_end = {ToLong(wide.y1), ToLong(wide.y2), wide_march.failed_step == 0};
  return true;
}

// The double march alone, repeated until kTiming has passed, per march.
double MarchSeconds(const StudyRun& run, const OwnSystem* system, const std::atomic<bool>* cancel) {
  const auto steps = static_cast<std::size_t>(std::floor(run.N));
  const auto begin = std::chrono::steady_clock::now();
  std::size_t repeats = 0;
  volatile double sink = 0;
  do {
    State<double> end = system != nullptr ? system->system.start : BuiltInSystem::kStart;
    WithSystem(system, [&](const auto& equations) {
      return WithStep(run.method,
                      [&](auto step) { return MarchToEnd<decltype(step)>(equations, end, steps, run.h, cancel); });
    });
    sink = end.y1;
    ++repeats;
  } while (std::chrono::steady_clock::now() - begin < kTiming && !Cancelled(cancel));
  (void)sink;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count() / static_cast<double>(repeats);
}

}  // namespace

StepCounts ReadStepCounts(std::string_view text) {
  StepCounts read;
  auto element = [&read](std::string_view part) -> double {
    const std::string quoted = QuotedInput(part);
    double n = 0;
    try {
      n = ReadNumber(part, "the step count");
    } catch (const Failure&) {
      read.error = quoted + " is too large: a study takes at most " + std::to_string(kMaxSteps) + " steps";
      return 0;
    }
    const std::string as = IsPlainNumber(part) ? std::string() : " reads as " + ShortestText(n) + " and";
    if (n < 1)
      read.error = quoted + as + " is less than 1: a study takes 1 step or more";
    else if (n != std::floor(n))
      read.error = quoted + as + " is not a whole number of steps";
    else if (n > static_cast<double>(kMaxSteps))
      read.error = quoted + as + " is too large: a study takes at most " + std::to_string(kMaxSteps) + " steps";
    return read.error.empty() ? n : 0;
  };
  const std::size_t range = text.find("..");
  if (range != std::string_view::npos) {
    const double first = element(text.substr(0, range));
    const double last = read.error.empty() ? element(text.substr(range + 2)) : 0;
    if (!read.error.empty()) return read;
    if (last < first) {
      read.error = "the range " + QuotedInput(text) + " runs backwards";
      return read;
    }
    for (double n = first; n <= last; n *= 2) read.counts.push_back(n);
  } else {
    for (std::size_t start = 0;;) {
      const std::size_t comma = text.find(',', start);
      read.counts.push_back(element(text.substr(start, comma == std::string_view::npos ? text.npos : comma - start)));
      if (!read.error.empty()) return read;
      if (comma == std::string_view::npos) break;
      start = comma + 1;
    }
  }
  std::sort(read.counts.begin(), read.counts.end());
  read.counts.erase(std::unique(read.counts.begin(), read.counts.end()), read.counts.end());
  if (read.counts.size() > kMaxStepCounts) {
    read.error = QuotedInput(text) + " asks for " + std::to_string(read.counts.size()) +
                 " step counts; a study takes " + std::to_string(kMaxStepCounts) + " at most";
    read.counts.clear();
  }
  return read;
}

Study RunStudy(const StudyOptions& options) {
  Study study;
  study.system = options.system;
  study.x1 = options.x1;
  study.against = options.against;
  const OwnSystem* system = options.system.get();
  study.reference = system != nullptr ? TypedReference(*system, options.x1) : BuiltInReference(options.x1);
  for (const Method method : options.methods) {
    for (const double N : options.steps) {
      StudyRun run;
      run.method = method;
      run.N = N;
      study.runs.push_back(run);
    }
  }
  const bool timed = options.against == Against::Seconds;
  const std::size_t total = study.runs.size() * (timed ? 2 : 1);
  std::mutex progress_lock;
  std::size_t done = 0;
  auto tell = [&] {
    if (!options.progress) return;
    const std::lock_guard<std::mutex> hold(progress_lock);
    options.progress(++done, total);
  };

  // The largest runs first, so that the threads finish together.
  std::vector<std::size_t> order(study.runs.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t l, std::size_t r) { return study.runs[l].N > study.runs[r].N; });
  std::vector<WideEnd> wide(study.runs.size());
  std::atomic<std::size_t> next{0};
  std::atomic<bool> stopped{false};
  auto work = [&] {
    for (std::size_t k = next++; k < order.size() && !stopped; k = next++) {
      if (Cancelled(options.cancel) ||
          !MarchTwice(study.runs[order[k]], system, options.x1, options.cancel, wide[order[k]])) {
        stopped = true;
        return;
      }
      tell();
    }
  };
  const unsigned threads = static_cast<unsigned>(std::min<std::size_t>(
      options.threads == 0 ? HardwareThreads() : options.threads, std::max<std::size_t>(order.size(), 1)));
  RunShares(threads, [&](unsigned) { work(); });
  if (stopped) {
    study.cancelled = true;
    return study;
  }

  // The error and its parts, the marks, then the order between neighbouring
  // N of one method where both rows are dominated by truncation.
  const Reference& ref = study.reference;
  const StudyRun* previous = nullptr;
  for (std::size_t i = 0; i < study.runs.size(); ++i) {
    StudyRun& run = study.runs[i];
    if (previous != nullptr && previous->method != run.method) previous = nullptr;
    if (!run.failed()) {
      const WideEnd& w = wide[i];
      run.rounding =
          w.finished ? static_cast<double>(std::max(std::fabs(run.y1 - w.y1), std::fabs(run.y2 - w.y2))) : HUGE_VAL;
      if (!ref.valid()) {
        run.mark = Mark::NoReference;
      } else {
        run.error = static_cast<double>(std::max(std::fabs(run.y1 - ref.y1), std::fabs(run.y2 - ref.y2)));
        run.truncation =
            w.finished ? static_cast<double>(std::max(std::fabs(w.y1 - ref.y1), std::fabs(w.y2 - ref.y2))) : HUGE_VAL;
        const bool round_off =
            !w.finished || run.rounding >= run.truncation || run.truncation <= kReferenceReach * ref.error;
        const bool after = previous != nullptr && (previous->mark == Mark::First || previous->mark == Mark::Ok);
        run.mark = round_off ? Mark::RoundOff : after ? Mark::Ok : Mark::First;
        if (run.mark == Mark::Ok && run.truncation > 0 && previous->truncation > 0)
          run.order = std::log(previous->truncation / run.truncation) / std::log(run.N / previous->N);
      }
    }
    previous = &run;
  }

  // The marches timed one at a time, so that no run shares the machine.
  if (timed) {
    for (StudyRun& run : study.runs) {
      if (!run.failed()) run.seconds = MarchSeconds(run, system, options.cancel);

      if (Cancelled(options.cancel)) {
        study.cancelled = true;
        return study;
      }
      tell();
    }
  }
  return study;
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
  const auto count = static_cast<double>(end - begin);
  if (count < 2) return std::nullopt;
  // The least-squares slope of log(truncation) against log(N).
  double sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (auto it = begin; it != end; ++it) {
    const double x = std::log((*it)->N);
    const double y = std::log((*it)->truncation);

    sx += x;
    sy += y;
    sxx += x * x;
    sxy += x * y;
  }
  return -(count * sxy - sx * sy) / (count * sxx - sx * sx);
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
