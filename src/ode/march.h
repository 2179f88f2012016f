#pragma once

#include <cstddef>

#include "ode/failure.h"

namespace kavrin {

// A step method: reads (x0, y1_0, y2_0, h), writes the solution at x0 + h into
// y1 and y2.
using StepMethod = void (*)(const double& x0, const double& y1_0, const double& y2_0, const double& h, double& y1,
                            double& y2);

// Where a march writes: entry i of each array holds x, y1 and y2 after i
// steps; entry 0 holds the start. `filled` counts the entries that hold values;
// `failed_step` is the step that overflowed, or 0.
struct MarchArrays {
  double* x;
  double* y1;
  double* y2;
  std::size_t filled;
  std::size_t failed_step = 0;
};

// Marches `steps` steps of `Step` from entry 0, filling entries 1..steps.
// Afterwards x0, y1_0, y2_0 hold the start of the last step. On an overflow the
// arrays keep the entries before the failing step, x0, y1_0, y2_0 hold that
// step's start, and `failed_step` names it.
template <StepMethod Step>
void March(MarchArrays& arrays, std::size_t steps, const double h, double& x0, double& y1_0, double& y2_0) {
  double* const xs = arrays.x;
  double* const y1s = arrays.y1;
  double* const y2s = arrays.y2;
  double x = xs[0];
  double a = y1s[0];
  double b = y2s[0];
  std::size_t i = 1;
  try {
    for (; i <= steps; ++i) {
      double Y1;
      double Y2;
      Step(x, a, b, h, Y1, Y2);
      const double x_next = x + h;
      RequireFiniteStep(x_next);
      xs[i] = x_next;
      y1s[i] = Y1;
      y2s[i] = Y2;
      x = x_next;
      a = Y1;
      b = Y2;
    }
  } catch (const Failure&) {
    // The failing step started from entry i - 1. Reading it back, rather than
    // the loop's own x, a and b, keeps those in registers: a handler that
    // used them would make the compiler store them to memory at every step.
    arrays.filled = i;
    arrays.failed_step = i;
    x0 = xs[i - 1];
    y1_0 = y1s[i - 1];
    y2_0 = y2s[i - 1];
    return;
  }
  arrays.filled = steps + 1;
  if (steps > 0) {
    x0 = xs[steps - 1];
    y1_0 = y1s[steps - 1];
    y2_0 = y2s[steps - 1];
  }
}

// The same march keeping only the last values: x, y1, y2 go in as the start
// and come out as the values after `steps` steps, bit for bit those that
// March stores in its last entry. Returns the step that overflowed, or 0.
template <StepMethod Step>
std::size_t MarchToEnd(std::size_t steps, const double h, double& x, double& y1, double& y2) {
  double xi = x;
  double a = y1;
  double b = y2;
  std::size_t i = 1;
  try {
    for (; i <= steps; ++i) {
      double Y1;
      double Y2;
      Step(xi, a, b, h, Y1, Y2);
      const double x_next = xi + h;
      RequireFiniteStep(x_next);
      xi = x_next;
      a = Y1;
      b = Y2;
    }
  } catch (const Failure&) {
    return i;
  }
  x = xi;
  y1 = a;
  y2 = b;
  return 0;
}

// One march of each kind instantiated per method, called through the method
// table: one indirect call per run, none per step.
using MarchFunction = void (*)(MarchArrays& arrays, std::size_t steps, double h, double& x0, double& y1_0,
                               double& y2_0);
using MarchToEndFunction = std::size_t (*)(std::size_t steps, double h, double& x, double& y1, double& y2);

}  // namespace kavrin
