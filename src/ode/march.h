#pragma once

#include <atomic>
#include <cmath>
#include <cstddef>

#include "ode/system.h"

namespace kavrin {

// A state a march can go on from: every value finite. A step's inputs are
// finite and none of its operations makes a non-finite value finite again
// (no division by a variable, no comparison), so an overflow anywhere in a
// step shows in the state it returns.
template <typename Real>
bool AllFinite(const State<Real>& s) {
  using std::isfinite;
  return isfinite(s.x) && isfinite(s.y1) && isfinite(s.y2);
}

// Where a march writes: entry i of each array holds x, y1 and y2 after i
// steps; entry 0 holds the start.
template <typename Real>
struct MarchArrays {
  Real* x;
  Real* y1;
  Real* y2;
};

// Marches `steps` steps of `method` from entry 0, filling entries 1..steps;
// x advances by repeated addition of h. Returns the step that overflowed
// (its entry and those after it left unwritten), or 0.
template <typename Method, typename System, typename Real>
std::size_t March(const Method& method, const System& system, const MarchArrays<Real>& arrays, std::size_t steps,
                  Real h) {
  Real* const xs = arrays.x;
  Real* const y1s = arrays.y1;
  Real* const y2s = arrays.y2;
  State<Real> s{xs[0], y1s[0], y2s[0]};
  for (std::size_t i = 1; i <= steps; ++i) {
    const State<Real> next = method.Step(system, s, h);
    if (!AllFinite(next)) [[unlikely]]
      return i;
    xs[i] = next.x;
    y1s[i] = next.y1;
    y2s[i] = next.y2;
    s = next;
  }
  return 0;
}

// The end of a march that keeps no tables.
struct MarchEnd {
  std::size_t failed_step = 0;  // the step that overflowed, or 0
  bool cancelled = false;
};

// The same march keeping only the last values: `state` goes in as the start
// and comes out as the state after `steps` steps, bit for bit what March
// stores in its last entry (or the start of the step that overflowed). With
// `cancel`, the flag is read every 2^16 steps and a set flag ends the march.
template <typename Method, typename System, typename Real>
MarchEnd MarchToEnd(const Method& method, const System& system, State<Real>& state, std::size_t steps, Real h,
                    const std::atomic<bool>* cancel = nullptr) {
  constexpr std::size_t kChunk = std::size_t{1} << 16;
  State<Real> s = state;
  for (std::size_t done = 0; done < steps;) {
    const std::size_t end = steps - done > kChunk ? done + kChunk : steps;
    for (std::size_t i = done + 1; i <= end; ++i) {
      const State<Real> next = method.Step(system, s, h);
      if (!AllFinite(next)) [[unlikely]] {
        state = s;
        return {i, false};
      }
      s = next;
    }
    done = end;
    if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) {
      state = s;
      return {0, true};
    }
  }
  state = s;
  return {};
}

}  // namespace kavrin
