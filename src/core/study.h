#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ode/method_table.h"

namespace kavrin {

// The solution at x1 of the system from (0, 1, -1), from an integration
// independent of the seven methods: a Taylor series of high order in long
// double. `error` bounds its distance from the true solution, estimated by a
// second series of lower order with its own steps; it is infinite when the
// solution cannot be continued to x1 (it grows without bound before).
struct Reference {
  long double y1 = 0;
  long double y2 = 0;
  double error = 0;
  bool valid() const;
};

Reference ReferenceSolution(double x1);

// One run of the study: a method with N steps to x1, the values the window
// shows for the same x1 and N, and their distance from the reference.
struct StudyRun {
  enum class Status {
    Measured,  // the error is the method's own
    AtFloor,   // the error is within the reference's or round-off's reach
    NoReference,
    Failed,  // the run overflowed; `failure` says where
  };
  Method method = Method::Euler;
  double N = 0;
  double h = 0;
  double y1 = 0;
  double y2 = 0;
  double error = 0;  // the larger of |y1 - y1 ref| and |y2 - y2 ref|
  Status status = Status::Measured;
  // log(error ratio) / log(N ratio) against the previous N of the same method,
  // when both errors are measured.
  std::optional<double> order;
  std::string failure;
};

struct StudyOptions {
  double x1 = 1;
  std::vector<double> steps;    // whole numbers from 1 up, ascending
  std::vector<Method> methods;  // in the order to report them
  unsigned threads = 0;         // 0: one per hardware thread
  // Told after each run how many runs are done of how many; called from the
  // threads that ran them, one call at a time.
  std::function<void(std::size_t done, std::size_t total)> progress;
  // Once set, the runs under way stop within 2^16 steps, no further run
  // starts, and the study comes back cancelled.
  const std::atomic<bool>* cancel = nullptr;
};

struct Study {
  double x1 = 0;
  bool cancelled = false;
  Reference reference;
  std::vector<StudyRun> runs;  // per method in the options' order, N ascending
  // Errors at or below this, for a run of N steps, are marked AtFloor: within
  // a hundred times the reference's error, or of the run's own rounding
  // (8 units in the last place times the root of N, or N/4 units when more).
  double Floor(double N) const;
};

// The most step counts one study takes.
inline constexpr std::size_t kMaxStepCounts = 100;

// The step counts of a study from a text: a list "20,40,80" or a doubling
// range "10..10240", each element read as the window reads N ("1 000" is
// 1000) and a whole number from 1 to the most steps a calculation takes;
// sorted, without repeats. On a wrong element `error` names it.
struct StepCounts {
  std::vector<double> counts;
  std::string error;
};
StepCounts ReadStepCounts(std::string_view text);

// Runs every method at every N; the runs are independent and share the
// threads. Each keeps only its last values, so memory stays small.
Study RunStudy(const StudyOptions& options);

}  // namespace kavrin
