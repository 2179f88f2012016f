#pragma once

#include <atomic>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "ode/system.h"
#include "ode/tableau.h"

namespace kavrin {

// The n-th root of x > 0 by Newton's method in plain arithmetic (no pow,
// whose last bits differ between C libraries), so that a step size chosen
// from it is the same on every machine.
double DeterministicRoot(double x, int n);

// The largest n a root is taken for: the orders a pair can have, plus one.
inline constexpr int kMostRoots = 2 * static_cast<int>(kMaxStages) + 2;

// The controller's roots for every step, to within 0.1 % (1/(1024 n) at
// most, far below what its safety factor leaves): x = m 2^e, m^(±1/n) at the middle of m's cell
// among 256 and 2^(±e/n), both from tables made once per n by
// DeterministicRoot, and one multiplication. The same bits everywhere, and
// short on the step's critical path, which waits for them.
struct RootTable {
  static constexpr int kCells = 256;
  int n = 2;
  std::array<double, kCells> down{};      // m^(-1/n) at m = 1/2 + (c + 1/2)/512
  std::array<double, kCells> up{};        // 0.9 m^(1/n) there: the safety factor folded in
  std::array<double, 2047> power_down{};  // 2^(-e/n) for the biased exponent e + 1022
  std::array<double, 2047> power_up{};    // 2^(e/n)

  // x^(-1/n) for x > 0.
  double Down(double x) const { return Root(x, down, power_down, -1); }
  // 0.9 x^(1/n) for x > 0.
  double SafeUp(double x) const { return Root(x, up, power_up, 1); }

 private:
  double Root(double x, const std::array<double, kCells>& cells, const std::array<double, 2047>& powers,
              int sign) const {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &x, sizeof bits);
    const auto biased = static_cast<std::size_t>((bits >> 52) & 0x7FF);
    // Zero, subnormal, infinite or NaN: the slow way.
    if (biased == 0 || biased == 0x7FF || !(x > 0)) return Slow(x, sign);
    return cells[static_cast<std::size_t>((bits >> 44) & 0xFF)] * powers[biased];
  }
  double Slow(double x, int sign) const {
    return sign < 0 ? 1 / DeterministicRoot(x, n) : 0.9 * DeterministicRoot(x, n);
  }
};

// The table for n (2 to kMostRoots), made on first use; thread-safe.
const RootTable& RootTableFor(int n);

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
// The larger of two numbers that are not NaN (std::fmax is a call into the C library).
inline double Larger(double a, double b) { return b > a ? b : a; }

// The largest |e_i| / (atol + rtol max(|y_i|, |y_new_i|)), for the record
// of an accepted step (`y` holds the values it started from).
// The larger ratio is chosen by cross-multiplying, so that one division
// forms it.
template <typename Start>
double ScaledError(const AdaptiveSettings& a, const Start& y, const EmbeddedStepResult& r) {
  const double s1 = a.atol + a.rtol * Larger(std::fabs(y.y1), std::fabs(r.next.y1));
  const double s2 = a.atol + a.rtol * Larger(std::fabs(y.y2), std::fabs(r.next.y2));
  const double e1 = std::fabs(r.estimate1);
  const double e2 = std::fabs(r.estimate2);
  return e1 * s2 >= e2 * s1 ? e1 / s1 : e2 / s2;
}

// What the controller makes of a step: accepted when |e_i| <= atol + rtol
// max(|y_i|, |y_new_i|) in both components, and the next size's factor
// 0.9 err^(-1/n) (before its bounds) with err the larger |e_i| / that
// bound, formed as the smaller 0.9 (bound_i)^(1/n) |e_i|^(-1/n), without a
// division on the way from one step to the next. Values that left the
// range of numbers: rejected, the factor 0.2.
struct Control {
  bool accepted = false;
  bool overflow = false;
  double factor = 0.2;
};
inline Control Controlled(const AdaptiveSettings& a, const RootTable& roots, const State<double>& y,
                          const EmbeddedStepResult& r) {
  Control c;
  // v - v is 0 exactly for every finite v and NaN otherwise: one test for all four.
  const double finite =
      ((r.next.y1 - r.next.y1) + (r.next.y2 - r.next.y2)) + ((r.estimate1 - r.estimate1) + (r.estimate2 - r.estimate2));
  if (!(finite == 0)) [[unlikely]] {
    c.overflow = true;
    return c;
  }
  const double s1 = a.atol + a.rtol * Larger(std::fabs(y.y1), std::fabs(r.next.y1));
  const double s2 = a.atol + a.rtol * Larger(std::fabs(y.y2), std::fabs(r.next.y2));
  const double e1 = std::fabs(r.estimate1);
  const double e2 = std::fabs(r.estimate2);
  c.accepted = e1 <= s1 && e2 <= s2;
  const double f1 = roots.SafeUp(s1) * roots.Down(e1);
  const double f2 = roots.SafeUp(s2) * roots.Down(e2);
  c.factor = f2 < f1 ? f2 : f1;
  return c;
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

// Why a march stops before its next try, if it does: the budget of steps
// tried, or a cancel (read every 1024 tries).
inline bool StopsBefore(std::size_t tried, const AdaptiveSettings& a, const std::atomic<bool>* cancel,
                        AdaptiveMarch& m) {
  if (tried >= a.max_steps) {
    m.stop = AdaptiveMarch::Stop::Budget;
    return true;
  }
  if (cancel != nullptr && (tried & 1023) == 0 && cancel->load(std::memory_order_relaxed)) {
    m.stop = AdaptiveMarch::Stop::Cancelled;
    return true;
  }
  return false;
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
  m.accepted.push_back({start.x, start.y1, start.y2, 0, 0});
  if (x1 == start.x) return m;
  // The accepted steps are written in place, the table doubled when full and
  // cut to size at the end: a call to grow it in every step would make the
  // step keep its values in memory across it.
  std::size_t count = 1;
  m.accepted.resize(1024);
  const double direction = x1 > start.x ? 1 : -1;
  // h carries the direction, so that the next step is this one times the
  // factor, with nothing more on the way from one step to the next.
  double h =
      direction * (a.first_step > 0 ? a.first_step : detail::FirstStep(system, start, direction, a, m.evaluations));
  State<double> s = start;
  bool rejected_last = false;
  const RootTable& roots = RootTableFor(a.order + 1);
  for (std::size_t tried = 0; !detail::StopsBefore(tried, a, cancel, m); ++tried) {
    const double remaining = x1 - s.x;
    const bool last = std::fabs(h) >= std::fabs(remaining);
    const double step = last ? remaining : h;
    if (s.x + step == s.x) {
      m.stop = AdaptiveMarch::Stop::StepTooSmall;
      m.stop_h = std::fabs(step);
      break;
    }
    const EmbeddedStepResult r = pair(system, s, step);
    const detail::Control c = detail::Controlled(a, roots, s, r);
    // Growth up to 5, but none right after a rejection, nor when rejected.
    const double most = c.accepted && !rejected_last ? 5 : 1;
    const double factor = c.factor > most ? most : c.factor < 0.2 ? 0.2 : c.factor;
    if (c.accepted) {
      s = r.next;
      if (last) s.x = x1;
      if (count == m.accepted.size()) [[unlikely]]
        m.accepted.resize(2 * count);
      m.accepted[count] = {s.x, s.y1, s.y2, std::fabs(step), detail::ScaledError(a, m.accepted[count - 1], r)};
      ++count;
      if (last) break;
    } else {
      m.rejected.push_back({s.x, std::fabs(step)});
      if (c.overflow && std::fabs(step) * 0.2 * 0.2 * 0.2 * 0.2 * 0.2 == 0) {
        m.stop = AdaptiveMarch::Stop::Overflow;
        break;
      }
    }
    h = step * factor;
    rejected_last = !c.accepted;
  }
  m.accepted.resize(count);
  m.evaluations += pair.stages() * (count - 1 + m.rejected.size());
  m.stop_x = s.x;
  return m;
}

}  // namespace kavrin
