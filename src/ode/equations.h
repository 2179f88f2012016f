#pragma once

#include <cfloat>

// The system y1' = y1*y2 + x, y2' = x*y2 + y1 and the stage helper that every
// step method is built from.
//
// Every step method has the parameters (x0, y1_0, y2_0, h, y1, y2): it reads
// the first four, never writes them, and writes y1 and then y2, each once.
// Increments K = h*f1(stage) and L = h*f2(stage) already carry the factor h.
// An overflow throws Failure before the output it would have produced is
// written: a failure in the stages leaves both outputs as they were, a
// failure while forming y2 leaves the new y1 written.
//
// The methods are inline so that the marching loop, instantiated per method,
// runs each step without a call.

// Each operation must round to double: arithmetic carried out in a wider
// format (x87 extended precision) would change the last bits of every step.
static_assert(FLT_EVAL_METHOD == 0, "double arithmetic must be evaluated in double precision");

namespace kavrin {

// Where every calculation starts: x0 = 0, y1(0) = 1, y2(0) = -1.
inline constexpr double kStartX = 0;
inline constexpr double kStartY1 = 1;
inline constexpr double kStartY2 = -1;

// The solution from that start grows without bound near these two points
// (forward and backward): it exists only between them, and no method's values
// beyond them approximate anything.
inline constexpr double kPoleAhead = 2.730593733;
inline constexpr double kPoleBehind = -1.358876321;

inline double f1(const double& x, const double& y1, const double& y2) { return y1 * y2 + x; }

inline double f2(const double& x, const double& y1, const double& y2) { return x * y2 + y1; }

// The increments of one stage: K = h*f1, then L = h*f2, at the same point.
struct Increments {
  double K;
  double L;
};

inline Increments Stage(const double& h, const double& x, const double& y1, const double& y2) {
  const double K = h * f1(x, y1, y2);
  const double L = h * f2(x, y1, y2);
  return {K, L};
}

}  // namespace kavrin
