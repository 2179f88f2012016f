#pragma once

#include <atomic>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <vector>

#include "ode/system.h"
#include "ode/tableau.h"

namespace kavrin {

// The n-th root of x > 0 by Newton's method in plain arithmetic (no pow,
// whose last bits differ between C libraries), so that a step size chosen
// from it is the same on every machine.
double DeterministicRoot(double x, int n);

// One step of an embedded pair from the same stages: the new state with the
// weights b, and the estimate of its error, the sum of (b - b̂) K.
struct EmbeddedStepResult {
  State<double> next;
  double estimate1 = 0;
  double estimate2 = 0;
};

template <typename System>
EmbeddedStepResult EmbeddedStep(const Tableau& t, const System& system, const State<double>& s, double h) {
  std::array<double, kMaxStages> K{};
  std::array<double, kMaxStages> L{};
  for (std::size_t i = 0; i < t.stages; ++i) {
    double dy1 = 0;
    double dy2 = 0;
    for (std::size_t j = 0; j < i; ++j) {
      if (t.a[i][j] == 0) continue;
      dy1 = dy1 + t.a[i][j] * K[j];
      dy2 = dy2 + t.a[i][j] * L[j];
    }
    const Increments<double> stage = Stage(system, h, s.x + t.c[i] * h, s.y1 + dy1, s.y2 + dy2);
    K[i] = stage.K;
    L[i] = stage.L;
  }
  EmbeddedStepResult r;
  double dy1 = 0, dy2 = 0, e1 = 0, e2 = 0;
  for (std::size_t i = 0; i < t.stages; ++i) {
    dy1 = dy1 + t.b[i] * K[i];
    dy2 = dy2 + t.b[i] * L[i];
    const double w = t.b[i] - t.second[i];
    e1 = e1 + w * K[i];
    e2 = e2 + w * L[i];
  }
  r.next = {s.x + h, s.y1 + dy1, s.y2 + dy2};
  r.estimate1 = e1;
  r.estimate2 = e2;
  return r;
}

// An embedded pair as a march takes it: any tableau with second weights,
// through the generic step.
struct TableauPair {
  const Tableau* tableau;
  std::size_t stages() const { return tableau->stages; }
  template <typename System>
  EmbeddedStepResult operator()(const System& system, const State<double>& s, double h) const {
    return EmbeddedStep(*tableau, system, s, h);
  }
};

// A pair whose step type writes out its estimate (Fehlberg's, Merson's):
// the accepted step is bit for bit the fixed step of the same h.
template <typename Step>
struct CodedPair {
  std::size_t stages() const { return static_cast<std::size_t>(Step::kRow.stages); }
  template <typename System>
  EmbeddedStepResult operator()(const System& system, const State<double>& s, double h) const {
    EmbeddedStepResult r;
    r.next = Step::StepWithEstimate(system, s, h, r.estimate1, r.estimate2);
    return r;
  }
};

// What the controller is given: the tolerances, the first step (0: chosen
// automatically), the most steps tried, and q, the lower order of the pair.
struct AdaptiveSettings {
  double rtol = 1e-6;
  double atol = 1e-6;
  double first_step = 0;
  std::size_t max_steps = 100000;
  int order = 4;
};

// An accepted step: where it ended, its size and its error estimate (the
// largest component, scaled by the tolerance: <= 1 when accepted).
struct AdaptiveStep {
  double x, y1, y2, h, estimate;
};
// A step tried and rejected: where it started and its size.
struct RejectedStep {
  double x, h;
};

struct AdaptiveMarch {
  enum class Stop { Reached, Budget, StepTooSmall, Overflow, Cancelled };
  Stop stop = Stop::Reached;
  std::vector<AdaptiveStep> accepted;  // the start first, with h = 0
  std::vector<RejectedStep> rejected;
  std::size_t evaluations = 0;
  double stop_x = 0;  // where it stopped short, if it did
  double stop_h = 0;
};

namespace detail {

// The largest |e_i| / (atol + rtol max(|y_i|, |y_new_i|)).
inline double ScaledError(const AdaptiveSettings& a, const State<double>& y, const EmbeddedStepResult& r) {
  const double s1 = a.atol + a.rtol * std::fmax(std::fabs(y.y1), std::fabs(r.next.y1));
  const double s2 = a.atol + a.rtol * std::fmax(std::fabs(y.y2), std::fabs(r.next.y2));
  const double e = std::fmax(std::fabs(r.estimate1) / s1, std::fabs(r.estimate2) / s2);
  return std::isfinite(e) && std::isfinite(r.next.y1) && std::isfinite(r.next.y2) ? e : HUGE_VAL;
}

// The first step by the usual rule: a step over which the solution and its
// slope change by about 1 % in the tolerances' scale (two evaluations).
template <typename System>
double FirstStep(const System& system, const State<double>& s, double direction, const AdaptiveSettings& a,
                 std::size_t& evaluations) {
  const double s1 = a.atol + a.rtol * std::fabs(s.y1);
  const double s2 = a.atol + a.rtol * std::fabs(s.y2);
  const Derivatives<double> f0 = system(s.x, s.y1, s.y2);
  const double d0 = std::fmax(std::fabs(s.y1) / s1, std::fabs(s.y2) / s2);
  const double d1 = std::fmax(std::fabs(f0.d1) / s1, std::fabs(f0.d2) / s2);
  double h0 = d0 < 1e-5 || d1 < 1e-5 ? 1e-6 : 0.01 * d0 / d1;
  if (!std::isfinite(h0)) h0 = 1e-6;
  const Derivatives<double> f1 =
      system(s.x + direction * h0, s.y1 + direction * h0 * f0.d1, s.y2 + direction * h0 * f0.d2);
  evaluations += 2;
  const double d2 = std::fmax(std::fabs(f1.d1 - f0.d1) / s1, std::fabs(f1.d2 - f0.d2) / s2) / h0;
  const double largest = std::fmax(d1, d2);
  const double h1 = largest <= 1e-15 ? std::fmax(1e-6, h0 * 1e-3) : DeterministicRoot(0.01 / largest, a.order + 1);
  const double h = std::fmin(100 * h0, h1);
  return std::isfinite(h) && h > 0 ? h : 1e-6;
}

}  // namespace detail

// Marches from `start` to x1 with an embedded pair, choosing
// each step: accepted when its scaled error is at most 1, the next size
// h·min(5, max(0.2, 0.9·err^(-1/(q+1)))), no growth right after a
// rejection; the last step lands on x1 exactly. Stops early at the budget of
// steps tried, where x + h no longer moves x, or where the values leave the
// range of numbers.
template <typename Pair, typename System>
AdaptiveMarch MarchAdaptive(const Pair& pair, const System& system, const State<double>& start, double x1,
                            const AdaptiveSettings& a, const std::atomic<bool>* cancel = nullptr) {
  AdaptiveMarch m;
  m.accepted.reserve(256);
  m.accepted.push_back({start.x, start.y1, start.y2, 0, 0});
  if (x1 == start.x) return m;
  const double direction = x1 > start.x ? 1 : -1;
  double h = a.first_step > 0 ? a.first_step : detail::FirstStep(system, start, direction, a, m.evaluations);
  State<double> s = start;
  bool rejected_last = false;
  for (std::size_t tried = 0;; ++tried) {
    if (tried >= a.max_steps) {
      m.stop = AdaptiveMarch::Stop::Budget;
      break;
    }
    if (cancel != nullptr && (tried & 1023) == 0 && cancel->load(std::memory_order_relaxed)) {
      m.stop = AdaptiveMarch::Stop::Cancelled;
      break;
    }
    const double remaining = std::fabs(x1 - s.x);
    const bool last = h >= remaining;
    const double step = direction * (last ? remaining : h);
    if (s.x + step == s.x) {
      m.stop = AdaptiveMarch::Stop::StepTooSmall;
      m.stop_h = std::fabs(step);
      break;
    }
    const EmbeddedStepResult r = pair(system, s, step);
    m.evaluations += pair.stages();
    const double err = detail::ScaledError(a, s, r);
    double factor = err == 0 ? 5 : err == HUGE_VAL ? 0.2 : 0.9 / DeterministicRoot(err, a.order + 1);
    factor = std::fmin(5.0, std::fmax(0.2, factor));
    if (err <= 1) {
      s = r.next;
      if (last) s.x = x1;
      m.accepted.push_back({s.x, s.y1, s.y2, std::fabs(step), err});
      if (last) break;
      h = std::fabs(step) * (rejected_last ? std::fmin(1.0, factor) : factor);
      rejected_last = false;
    } else {
      m.rejected.push_back({s.x, std::fabs(step)});
      if (err == HUGE_VAL && std::fabs(step) * 0.2 * 0.2 * 0.2 * 0.2 * 0.2 == 0) {
        m.stop = AdaptiveMarch::Stop::Overflow;
        break;
      }
      h = std::fabs(step) * std::fmin(1.0, factor);
      rejected_last = true;
    }
  }
  m.stop_x = s.x;
  return m;
}

}  // namespace kavrin
