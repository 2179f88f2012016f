#pragma once

#include <memory>
#include <optional>
#include <string>

#include "core/equation.h"
#include "core/failure.h"
#include "ode/method_table.h"
#include "ode/system.h"

namespace kavrin {

// The problem every face works on: a system (built in, or typed by the user
// and compiled), its start, the texts it is shown with, and what is known of
// the singularities of its solution.
struct Problem {
  SystemTexts texts;
  std::shared_ptr<const OwnSystem> own;  // none: the built-in system, compiled
  State<double> start{0, 0, 0};
  // Where the solution from the start grows without bound, ahead and behind,
  // where that is known (the built-in system's poles).
  std::optional<Bracket> pole_ahead;
  std::optional<Bracket> pole_behind;

  bool built_in() const { return own == nullptr; }
  // The equations in one line: "y1' = y2, y2' = -y1".
  std::string Title() const;
  // The same with the built-in system's products as a reader writes them:
  // "y1' = y1·y2 + x, y2' = x·y2 + y1".
  std::string ReadableTitle() const;
  // The main window's title: for the built-in system its fixed one, "Kavrin
  // - Simultaneous numerical integration of y1'=y1y2+x and y2'=xy2+y1
  // equations", else "Kavrin - " and the title.
  std::string WindowTitle() const;
  // The system in one line for files: "built-in", or "y1' = y2; y2' = -y1;
  // x0 = 0; y1(0) = 1; y2(0) = 0".
  std::string Description() const;
  // The singularity that a march from the start to x reaches or passes, if
  // one is known: x lies at it or beyond it, in the march's direction.
  std::optional<Bracket> SingularityBefore(double x) const;
};

// How every face labels the start: the group, and each value's caption and
// its name for screen readers.
inline constexpr char kStartGroupCaption[] = "\xC4\xB0nitial conditions";
struct StartLabel {
  const char* caption;     // "y1(0) ="
  const char* accessible;  // "Initial value y1(0)"
};
inline constexpr StartLabel kStartLabels[3] = {
    {"x0 =", "Start x0"}, {"y1(0) =", "Initial value y1(0)"}, {"y2(0) =", "Initial value y2(0)"}};

// The built-in system from its start, with its two poles.
std::shared_ptr<const Problem> BuiltInProblem();

// The problem of these texts: the built-in system's own texts give the
// built-in problem; others are read as an own system, or refused with the
// failure of the first text that does not read.
Outcome<std::shared_ptr<const Problem>> ReadProblem(const SystemTexts& texts);

// Calls f with the system to march: the own system's program, or the
// built-in system.
template <typename F>
decltype(auto) WithSystem(const Problem& problem, F&& f) {
  if (problem.own != nullptr) return f(problem.own->system);
  return f(BuiltInSystem{});
}

// A singularity named beside the target point, with digits enough to tell
// the two apart: "x ≈ 2.7306".
std::string SingularityText(const Bracket& singularity, double x1);

// The failure of an implicit method's step whose Newton iteration does not
// converge, or nullopt (any other method, or a step that does converge).
std::optional<Failure> NewtonFailure(const Problem& problem, Method method, const State<double>& before, double h,
                                     std::size_t step);

}  // namespace kavrin
