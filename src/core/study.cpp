#include "core/study.h"

#include <algorithm>
#include <atomic>
#include <cfloat>
#include <cmath>
#include <mutex>

#include "core/calculation.h"
#include "core/number_text.h"
#include "ode/failure.h"
#include "ode/march.h"
#include "platform/threads.h"

namespace kavrin {
namespace {

using Real = long double;

// The Taylor series method: at each step the series of y1 and y2 about the
// current point, from the recurrences of y1' = y1*y2 + x, y2' = x*y2 + y1.
struct Series {
  int order;
  Real tolerance;
};

struct Coefficients {
  std::vector<Real> a;  // of y1
  std::vector<Real> b;  // of y2
};

void Expand(const Series& s, Real x, Real y1, Real y2, Coefficients& c) {
  c.a.assign(static_cast<std::size_t>(s.order) + 1, 0);
  c.b.assign(c.a.size(), 0);
  c.a[0] = y1;
  c.b[0] = y2;
  for (std::size_t k = 0; k < static_cast<std::size_t>(s.order); ++k) {
    Real product = 0;
    for (std::size_t j = 0; j <= k; ++j) product += c.a[j] * c.b[k - j];
    const Real n = static_cast<Real>(k + 1);
    c.a[k + 1] = (product + (k == 0 ? x : 0) + (k == 1 ? 1 : 0)) / n;
    c.b[k + 1] = (x * c.b[k] + (k >= 1 ? c.b[k - 1] : 0) + c.a[k]) / n;
  }
}

void Evaluate(const Coefficients& c, Real t, Real& y1, Real& y2) {
  y1 = c.a.back();
  y2 = c.b.back();
  for (std::size_t k = c.a.size() - 1; k-- > 0;) {
    y1 = y1 * t + c.a[k];
    y2 = y2 * t + c.b[k];
  }
}

// From the built-in start to x1. Each step is taken where the last terms of the series
// fall below the tolerance and confirmed by two half steps, so that no step
// can reach past a singularity of the solution; false when the solution
// cannot be continued to x1.
bool Integrate(const Series& s, Real x1, Real& y1, Real& y2) {
  Coefficients here;
  Coefficients middle;
  constexpr State<double> start = BuiltInSystem::kStart;
  Real x = start.x;
  y1 = start.y1;
  y2 = start.y2;
  const Real direction = x1 < 0 ? -1 : 1;
  Real last = HUGE_VALL;
  for (int step = 0; direction * (x1 - x) > 0; ++step) {
    if (step > 100'000) return false;
    Expand(s, x, y1, y2, here);
    // The radius of convergence, estimated from the last two coefficients.
    Real radius = HUGE_VALL;
    for (int k = s.order - 1; k <= s.order; ++k) {
      const auto i = static_cast<std::size_t>(k);
      const Real c = std::max(std::fabs(here.a[i]), std::fabs(here.b[i]));
      if (c > 0) radius = std::min(radius, std::pow(c, -1.0L / k));
    }
    Real h = std::min({std::fabs(x1 - x), radius * std::pow(s.tolerance, 1.0L / s.order), 2 * last});
    Real n1 = 0;
    Real n2 = 0;
    for (;;) {
      // A step halved this small means a singularity ahead; a small last
      // piece up to x1 is fine.
      if (!(h > 1e-12L * (1 + std::fabs(x))) && h < std::fabs(x1 - x)) return false;
      Evaluate(here, direction * h, n1, n2);
      Real m1 = 0;
      Real m2 = 0;
      Evaluate(here, direction * h / 2, m1, m2);
      Expand(s, x + direction * h / 2, m1, m2, middle);
      Real c1 = 0;
      Real c2 = 0;
      Evaluate(middle, direction * h / 2, c1, c2);
      const Real size = 1 + std::max(std::fabs(n1), std::fabs(n2));
      const Real limit = std::max(1e3L * s.tolerance, 64 * LDBL_EPSILON) * size;
      if (std::isfinite(n1) && std::isfinite(n2) && std::max(std::fabs(n1 - c1), std::fabs(n2 - c2)) <= limit) break;
      h /= 2;
    }
    if (std::max(std::fabs(n1), std::fabs(n2)) > 1e300L) return false;
    y1 = n1;
    y2 = n2;
    last = h;
    x = h == std::fabs(x1 - x) ? x1 : x + direction * h;
  }
  return true;
}

// Errors below this many units of the last place of the solution's size,
// times the square root of the steps (or a quarter of the steps, when more),
// are the rounding of the run itself.
constexpr double kRoundOffUnits = 8;

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

bool Reference::valid() const { return std::isfinite(error); }

Reference ReferenceSolution(double x1) {
  Reference r;
  Real y1 = 0;
  Real y2 = 0;
  Real c1 = 0;
  Real c2 = 0;
  if (!Integrate({40, 1e-24L}, x1, y1, y2) || !Integrate({24, 1e-21L}, x1, c1, c2)) {
    r.error = HUGE_VAL;
    return r;
  }
  r.y1 = y1;
  r.y2 = y2;
  // The coarser series' distance bounds the finer one's error, which is far
  // smaller; the last places of long double are added for its rounding.
  const Real spread = std::max(std::fabs(y1 - c1), std::fabs(y2 - c2));
  r.error = static_cast<double>(spread + 64 * LDBL_EPSILON * std::max(std::fabs(y1), std::fabs(y2)));
  return r;
}

double Study::Floor(double N) const {
  const double scale = static_cast<double>(std::max(std::fabs(reference.y1), std::fabs(reference.y2)));
  // Rounding in the run itself adds up like a random walk over its steps,
  // and over very many steps also like a drift: x is a sum of N rounded
  // additions of h, whose errors share a sign.
  const double units = std::max(kRoundOffUnits * std::sqrt(N), N / 4);
  return std::max(100 * reference.error, units * DBL_EPSILON * scale);
}

Study RunStudy(const StudyOptions& options) {
  Study study;
  study.x1 = options.x1;
  study.reference = ReferenceSolution(options.x1);
  for (const Method method : options.methods) {
    for (const double N : options.steps) {
      StudyRun run;
      run.method = method;
      run.N = N;
      study.runs.push_back(run);
    }
  }

  // The largest runs first, so that the threads finish together.
  std::vector<std::size_t> order(study.runs.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t l, std::size_t r) { return study.runs[l].N > study.runs[r].N; });
  std::atomic<std::size_t> next{0};
  std::atomic<bool> stopped{false};
  std::mutex progress_lock;
  std::size_t done = 0;
  auto work = [&] {
    for (std::size_t k = next++; k < order.size(); k = next++) {
      if (options.cancel != nullptr && options.cancel->load(std::memory_order_relaxed)) {
        stopped = true;
        return;
      }
      StudyRun& run = study.runs[order[k]];
      // As the window computes it: h = (x1 - x0)/N, floor(N) steps from the start.
      constexpr State<double> start = BuiltInSystem::kStart;
      run.h = (options.x1 - start.x) / run.N;
      State<double> end = start;
      const auto steps = static_cast<std::size_t>(std::floor(run.N));
      const MarchEnd march = WithStep(
          run.method, [&](auto step) { return MarchToEnd<decltype(step)>(BuiltInSystem{}, end, steps, run.h); });
      run.y1 = end.y1;
      run.y2 = end.y2;
      if (march.failed_step != 0) {
        run.status = StudyRun::Status::Failed;
        run.failure = Failure(FailureKind::Overflow, "the solution grew too large to compute with in step " +
                                                         std::to_string(march.failed_step) + ".")
                          .what();
      }
      if (options.progress) {
        const std::lock_guard<std::mutex> hold(progress_lock);
        options.progress(++done, order.size());
      }
    }
  };
  const unsigned threads = static_cast<unsigned>(std::min<std::size_t>(
      options.threads == 0 ? HardwareThreads() : options.threads, std::max<std::size_t>(order.size(), 1)));
  RunShares(threads, [&](unsigned) { work(); });
  if (stopped) {
    study.cancelled = true;
    return study;
  }

  // Errors, then the observed order between neighbouring N of one method.
  const Reference& ref = study.reference;
  const StudyRun* previous = nullptr;
  for (StudyRun& run : study.runs) {
    if (previous != nullptr && previous->method != run.method) previous = nullptr;
    if (run.status == StudyRun::Status::Failed) {
      previous = &run;
      continue;
    }
    if (!ref.valid()) {
      run.status = StudyRun::Status::NoReference;
      previous = &run;
      continue;
    }
    run.error = static_cast<double>(std::max(std::fabs(run.y1 - ref.y1), std::fabs(run.y2 - ref.y2)));
    run.status = run.error <= study.Floor(run.N) ? StudyRun::Status::AtFloor : StudyRun::Status::Measured;
    if (previous != nullptr && previous->status == StudyRun::Status::Measured &&
        run.status == StudyRun::Status::Measured && run.error > 0)
      run.order = std::log(previous->error / run.error) / std::log(run.N / previous->N);
    previous = &run;
  }
  return study;
}

}  // namespace kavrin
