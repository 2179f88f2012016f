#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ode/euler.h"
#include "ode/euler_variants.h"
#include "ode/implicit.h"
#include "ode/method_row.h"
#include "ode/rk4.h"
#include "ode/rk4g.h"
#include "ode/rkf.h"
#include "ode/rkm.h"
#include "ode/system.h"
#include "ode/tableau.h"
#include "ode/tableau_step.h"

namespace kavrin {

template <typename... Steps>
struct StepList {
  static constexpr std::size_t kCount = sizeof...(Steps);
};

// The step methods, one row each, in the order of the window's option
// buttons. Each step type carries what the faces show of it (kRow); a method
// is known everywhere by its place in this list.
using MethodSteps = StepList<Euler, EulerEP, EulerMP, RK4, RKF, RKM, RK4G, BackwardEuler, ImplicitMidpoint>;

inline constexpr std::size_t kMethodCount = MethodSteps::kCount;
// The first seven are the window's option buttons, and what "all methods"
// means by default; the implicit ones after them are chosen by name.
inline constexpr std::size_t kWindowMethodCount = 7;

// A method by its place in the list. The seven of the window's option
// buttons have names; a method added after them is Method{7}, and so on, and
// the methods added while the program runs (tableaux) follow the list.
enum class Method : std::uint8_t { Euler, EulerEP, EulerMP, RK4, RKF, RKM, RK4G, BackwardEuler, ImplicitMidpoint };

// The most methods the program knows at once, the list's and the added.
inline constexpr std::size_t kMaxMethods = 256;

struct MethodInfo : MethodRow {
  Method method;
};

namespace detail {
template <typename... Steps>
constexpr std::array<MethodInfo, sizeof...(Steps)> Rows(StepList<Steps...>) {
  std::uint8_t i = 0;
  return {MethodInfo{Steps::kRow, Method{i++}}...};
}
}  // namespace detail

// The rows in the list's order.
inline constexpr std::array<MethodInfo, kMethodCount> kMethods = detail::Rows(MethodSteps{});

// A method added while the program runs: an explicit tableau with its name
// and checked order. The strings its row points into live as long as the
// program.
struct AddedMethod {
  std::string id;
  std::string name;
  std::string text;  // the tableau as it was typed, for links and files
  Tableau tableau;
  MethodInfo info;
};

// Adds an explicit tableau as a method (or finds the same one added before)
// and returns it; nullopt when kMaxMethods are known. Safe to call while
// other threads run methods; an added method is never removed, and a later
// one of the same id takes that id over.
std::optional<Method> AddMethod(const std::string& id, const std::string& name, const std::string& text,
                                const Tableau& tableau, int order);
// The added method of `method`, or nullptr for one of the list.
const AddedMethod* Added(Method method);
// Every method known now: the list's, then the added (a replaced one left out).
std::vector<Method> KnownMethods();

inline const MethodInfo& Info(Method method) {
  const auto i = static_cast<std::size_t>(method);
  if (i < kMethodCount) return kMethods[i];
  const AddedMethod* added = Added(method);
  return added != nullptr ? added->info : kMethods.back();
}

namespace detail {
template <std::size_t I, typename Visitor, typename First, typename... Rest>
decltype(auto) VisitStep(std::size_t index, Visitor&& visit, StepList<First, Rest...>) {
  if constexpr (sizeof...(Rest) == 0) {
    return visit(First{});
  } else {
    if (index == I) return visit(First{});
    return VisitStep<I + 1>(index, std::forward<Visitor>(visit), StepList<Rest...>{});
  }
}
}  // namespace detail

// Calls visit with the step of `method` (Euler{}, RK4{}, ..., or a
// TableauStep for an added method), so that a march over any system and
// number type is instantiated per method: one choice per run, none per step.
// An unknown place visits the list's last row.
template <typename Visitor>
decltype(auto) WithStep(Method method, Visitor&& visit) {
  const auto i = static_cast<std::size_t>(method);
  if (i >= kMethodCount) {
    if (const AddedMethod* added = Added(method)) return visit(TableauStep{&added->tableau});
  }
  return detail::VisitStep<0>(i, std::forward<Visitor>(visit), MethodSteps{});
}

// A method's Butcher tableau, from its step type or as it was added.
inline const Tableau& ButcherTableau(Method method) {
  static const auto tableaux = [] {
    std::array<Tableau, kMethodCount> all{};
    for (std::size_t i = 0; i < kMethodCount; ++i) {
      all[i] = detail::VisitStep<0>(
          i, [](auto step) { return decltype(step)::Butcher(); }, MethodSteps{});
    }
    return all;
  }();
  const auto i = static_cast<std::size_t>(method);
  if (i >= kMethodCount) {
    if (const AddedMethod* added = Added(method)) return added->tableau;
  }
  return tableaux[std::min(i, kMethodCount - 1)];
}

// One step of the built-in system in double, for tests and tools.
inline State<double> StepOnce(Method method, const State<double>& s, double h) {
  return WithStep(method, [&](auto step) { return step.Step(BuiltInSystem{}, s, h); });
}

}  // namespace kavrin
