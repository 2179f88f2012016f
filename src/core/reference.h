#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

namespace kavrin {

// The solution at x1 from an integration independent of the seven methods: a
// Taylor series of high order, in the widest arithmetic at hand (113 bits
// where the compiler has them, else double-double), with steps chosen by the
// series' own radius of convergence and each confirmed by two half steps.
// `error_bound` bounds its distance from the true solution: twice the
// distance to a second integration of lower order with its own steps, plus
// the arithmetic's rounding. Where the solution cannot be continued to x1,
// `reached` says how far it could be, and there is no reference.
struct Reference {
  long double y1 = 0;
  long double y2 = 0;
  double error_bound = 0;
  double reached = 0;
  bool reached_x1 = false;
  // Why it stopped short of x1: the solution could not be continued (a
  // singularity, a function outside its domain), the work it may do was
  // spent (its series then needed steps of `last_step`), or it was cancelled.
  enum class Stop { None, Singular, OverBudget, Cancelled } stop = Stop::None;
  double last_step = 0;
  // There is a reference: both integrations reached x1, with a finite bound.
  bool valid() const;
};

// The work a reference may do, in operations on Taylor coefficients: under
// a second on the desktop and a few seconds on the page, whatever the
// equations; the hardest systems we tried need a third of it, most far less.
inline constexpr std::uint64_t kReferenceWork = 300'000'000;

// What bounds a reference: its work, the flag that cancels it (read at every
// step), and where it tells how far it has come, as a fraction.
struct ReferenceLimits {
  std::uint64_t work = kReferenceWork;
  const std::atomic<bool>* cancel = nullptr;
  std::function<void(double)> progress;
};

// The reference's arithmetic in words: "113-bit" or "106-bit double-double".
const char* ReferenceArithmetic();

// The two integrations' series orders and tolerances (relative, per step).
struct ReferenceSettings {
  int fine_order = 40;
  long double fine_tolerance = 1e-28L;
  int coarse_order = 24;
  long double coarse_tolerance = 1e-24L;
};

// The reference of the built-in system from its start.
Reference BuiltInReference(double x1, const ReferenceSettings& settings = {}, const ReferenceLimits& limits = {});

struct OwnSystem;
// The reference of an own system from its start, by automatic
// differentiation of its equations, in long double; at a kink (abs) the
// series starts anew.
Reference TypedReference(const OwnSystem& system, double x1, const ReferenceSettings& settings = {},
                         const ReferenceLimits& limits = {});

// The reference at every x of a march of `count` - 1 steps of h from the
// start (x formed as the march forms it: h added step by step), by one
// integration to the last of them, each step's series summed at the x it
// covers.
// Complete when it reached the last x; else `stop` says why, `reached` how
// far it came, and the values beyond are NaN.
struct ReferencePath {
  std::vector<double> y1;
  std::vector<double> y2;
  Reference::Stop stop = Reference::Stop::None;
  double reached = 0;
  double last_step = 0;
  bool complete() const { return stop == Reference::Stop::None; }
};
ReferencePath BuiltInReferencePath(double h, std::size_t count, const ReferenceLimits& limits = {});
ReferencePath TypedReferencePath(const OwnSystem& system, double h, std::size_t count,
                                 const ReferenceLimits& limits = {});

// The Taylor coefficients of y1 and y2 of an own system about (x, y1, y2),
// 0 to `order`, which the reference sums; false where the series cannot be
// formed there (a function outside its domain, a division by zero).
bool TypedSeries(const OwnSystem& system, long double x, long double y1, long double y2, int order,
                 std::vector<long double>& a, std::vector<long double>& b);

}  // namespace kavrin
