#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>

#include "ode/euler.h"
#include "ode/euler_variants.h"
#include "ode/method_row.h"
#include "ode/rk4.h"
#include "ode/rk4g.h"
#include "ode/rkf.h"
#include "ode/rkm.h"
#include "ode/system.h"
#include "ode/tableau.h"

namespace kavrin {

template <typename... Steps>
struct StepList {
  static constexpr std::size_t kCount = sizeof...(Steps);
};

// The step methods, one row each, in the order of the window's option
// buttons. Each step type carries what the faces show of it (kRow); a method
// is known everywhere by its place in this list.
using MethodSteps = StepList<Euler, EulerEP, EulerMP, RK4, RKF, RKM, RK4G>;

inline constexpr std::size_t kMethodCount = MethodSteps::kCount;

// A method by its place in the list. The seven of the window's option
// buttons have names; a method added after them is Method{7}, and so on.
enum class Method : std::uint8_t { Euler, EulerEP, EulerMP, RK4, RKF, RKM, RK4G };

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

constexpr const MethodInfo& Info(Method method) { return kMethods[static_cast<std::size_t>(method)]; }

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

// Calls visit with the step type of `method` (Euler{}, RK4{}, ...), so that a
// march over any system and number type is instantiated per method: one
// choice per run, none per step. A place beyond the list visits its last row.
template <typename Visitor>
decltype(auto) WithStep(Method method, Visitor&& visit) {
  return detail::VisitStep<0>(static_cast<std::size_t>(method), std::forward<Visitor>(visit), MethodSteps{});
}

// A method's Butcher tableau, from its step type.
inline const Tableau& ButcherTableau(Method method) {
  static const auto tableaux = [] {
    std::array<Tableau, kMethodCount> all{};
    for (std::size_t i = 0; i < kMethodCount; ++i)
      all[i] = WithStep(Method{static_cast<std::uint8_t>(i)}, [](auto step) { return decltype(step)::Butcher(); });
    return all;
  }();
  return tableaux[static_cast<std::size_t>(method)];
}

// One step of the built-in system in double, for tests and tools.
inline State<double> StepOnce(Method method, const State<double>& s, double h) {
  return WithStep(method, [&](auto step) { return decltype(step)::Step(BuiltInSystem{}, s, h); });
}

}  // namespace kavrin
