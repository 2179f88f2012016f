#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/failure.h"
#include "core/problem.h"
#include "core/reference.h"
#include "ode/method_table.h"

namespace kavrin {

// What a row of the study is.
enum class Mark {
  Pending,        // not measured yet
  First,          // truncation dominates; no smaller N before it to take an order against
  Ok,             // truncation dominates, and so it did at the N before: an order
  RoundOff,       // rounding dominates the error, or truncation is within the reference's reach
  Overflow,       // the run left the range of numbers; `failure` says where
  Domain,         // a function of an own system's equations left its domain; `failure` says where
  NoConvergence,  // an implicit method's Newton iteration did not converge in a step
  StoppedShort,   // a march choosing its steps ran out of its budget or its step size; `failure` says where
  NoReference,    // there is no reference to measure against
};

// One run of the study: a method with N steps to x1, the values the window
// shows for the same x1 and N, and their distance from the reference, split
// into the method's truncation and the run's own rounding by marching the
// same method once more in a wider type.
struct StudyRun {
  Method method = Method::Euler;
  double N = 0;
  double h = 0;
  double y1 = 0;
  double y2 = 0;
  double error = 0;       // the larger of |y1 - y1 ref| and |y2 - y2 ref|
  double truncation = 0;  // the same for the wide run: what the method itself leaves
  double rounding = 0;    // the larger distance between the run and the wide run
  Mark mark = Mark::Pending;
  // log(truncation ratio) / log(N ratio) against the previous N of the same
  // method, when both rows are dominated by truncation.
  std::optional<double> order;
  double seconds = 0;  // the march's time, when the study times its runs
  std::string failure;

  // Evaluations of the system: the method's stages times N.
  double evaluations() const { return Info(method).stages * N; }
  bool measured() const { return mark == Mark::First || mark == Mark::Ok || mark == Mark::RoundOff; }
  bool failed() const { return mark == Mark::Overflow || mark == Mark::Domain || mark == Mark::NoConvergence; }
};

// One run of the study's tolerance sweep: a method with an embedded pair
// choosing its own steps under a tolerance (atol = rtol = it) to x1, and
// the distance of its values from the reference, split like a fixed run's
// by taking the same steps again in a wider type. Marked Ok where the
// tolerance is honoured, RoundOff where rounding dominates (a tolerance
// double cannot honour for this problem), else why it did not reach x1.
struct SweepRun {
  Method method = Method::RKF;
  double tolerance = 0;
  double steps = 0;  // accepted
  double rejected = 0;
  double evaluations = 0;  // of every step tried, and the two that choose the first step
  double y1 = 0;
  double y2 = 0;
  double error = 0;
  double truncation = 0;
  double rounding = 0;
  double seconds = 0;
  Mark mark = Mark::Pending;
  std::string failure;
  bool drawn() const { return mark == Mark::Ok; }
};

// What the study's chart sets the error against.
enum class Against { Steps, Evaluations, Seconds };

// One row per axis: its name on the command line and the page, its caption
// among the choices, and the chart's words for it.
struct AxisInfo {
  Against against;
  std::string_view name;        // "evaluations"
  std::string_view caption;     // "evaluations of the system"
  std::string_view axis_title;  // "evaluations of the system (stages × N)"
  std::string_view unit;        // in a guide's label: "∝ evaluations⁻⁴"
};
inline constexpr std::array<AxisInfo, 3> kAxes{{
    {Against::Steps, "steps", "the number of steps N", "number of steps N", "N"},
    {Against::Evaluations, "evaluations", "evaluations of the system", "evaluations of the system (stages \xC3\x97 N)",
     "evaluations"},
    {Against::Seconds, "seconds", "the march time", "march time in seconds", "seconds"},
}};
constexpr const AxisInfo& AxisOf(Against against) { return kAxes[static_cast<std::size_t>(against)]; }

// The most step counts one study takes.
inline constexpr std::size_t kMaxStepCounts = 100;

// A study as asked for: the problem, x1, the step counts (whole numbers from
// 1 up, ascending), the methods in the order to report them and the axis.
struct StudyRequest {
  std::shared_ptr<const Problem> problem = BuiltInProblem();
  double x1 = 1;
  std::vector<double> steps;
  std::vector<Method> methods;
  // The tolerance sweep: each pair in `pairs` at each tolerance (none: no sweep).
  std::vector<double> tolerances;
  std::vector<Method> pairs;
  Against against = Against::Steps;
  unsigned threads = 0;  // 0: one per hardware thread
};

// Where a study tells how far it has come, and what ends it early.
struct StudyProgress {
  // Told after each run how many runs are done of how many; called from the
  // threads that ran them, one call at a time.
  std::function<void(std::size_t done, std::size_t total)> tell;
  // Once set, the runs under way stop within 2^16 steps, no further run
  // starts, and the study comes back cancelled.
  const std::atomic<bool>* cancel = nullptr;
};

struct Study {
  std::shared_ptr<const Problem> problem = BuiltInProblem();
  double x1 = 0;
  Against against = Against::Steps;
  bool cancelled = false;
  Reference reference;
  std::vector<StudyRun> runs;   // per method in the request's order, N ascending
  std::vector<SweepRun> sweep;  // per pair in the request's order, tolerance descending
};

// Runs every method at every N, each twice (in double, as the window does,
// and in a wider type); the runs are independent and share the threads.
// Each keeps only its last values, so memory stays small. With
// Against::Seconds, each run's march is then timed alone: repeated until
// 10 ms have passed, and divided.
Study RunStudy(const StudyRequest& request, const StudyProgress& progress = {});

// Why a march of `method` with step h left the numbers in `step`, which
// starts at `before`: a function of an own system outside its domain (or a
// division by zero), else an overflow.
Failure MarchFailure(const Problem& problem, Method method, const State<double>& before, double h, std::size_t step);

// The methods of a study, in the order of its runs.
std::vector<Method> StudyMethods(const Study& study);

// The method's order: the least-squares slope of log(truncation) against
// log(N) over its last (up to three) rows dominated by truncation, in a row;
// none when it has fewer than two such rows.
std::optional<double> FittedOrder(const Study& study, Method method);

// Where a run stands on the chart's horizontal axis.
double Abscissa(const Study& study, const StudyRun& run);
double Abscissa(const Study& study, const SweepRun& run);

// The pairs of the sweep, in the order of its runs.
std::vector<Method> SweepMethods(const Study& study);

// The slope of log(error) against log(tolerance) over a pair's honoured
// runs: near 1 where the error follows the tolerance; none with fewer than
// two such runs.
std::optional<double> ToleranceSlope(const Study& study, Method method);

}  // namespace kavrin
