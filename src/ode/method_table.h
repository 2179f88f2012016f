#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "ode/euler.h"
#include "ode/euler_variants.h"
#include "ode/rk4.h"
#include "ode/rk4g.h"
#include "ode/rkf.h"
#include "ode/rkm.h"
#include "ode/system.h"

namespace kavrin {

// The seven step methods, in the order of their option buttons.
enum class Method { Euler, EulerEP, EulerMP, RK4, RKF, RKM, RK4G };

inline constexpr std::size_t kMethodCount = 7;

// What each face shows and says of a method.
struct MethodInfo {
  Method method;
  std::string_view id;           // on the command line and in files: "rk4"
  std::string_view caption;      // on the method's button: "Runge-Kutta 4"
  std::string_view result_name;  // at the end of the result line: "Runge-Kutta-4 Method"
  int order;                     // order of convergence
  int stages;                    // evaluations of the system per step
};

// The one list of the methods, in the order of their buttons.
inline constexpr std::array<MethodInfo, kMethodCount> kMethods{{
    {Method::Euler, "euler", "Euler", "Euler Method", 1, 1},
    {Method::EulerEP, "euler-ep", "Euler (End points)", "Euler End-Point Method", 2, 2},
    {Method::EulerMP, "euler-mp", "Euler (Mid point)", "Euler Mid-Point Method", 2, 2},
    {Method::RK4, "rk4", "Runge-Kutta 4", "Runge-Kutta-4 Method", 4, 4},
    {Method::RKF, "rkf", "Runge-Kutta-Fehlberg", "Runge-Kutta-Fehlberg Method", 5, 6},
    {Method::RKM, "rkm", "Runge-Kutta-Merson", "Runge-Kutta-Merson Method", 4, 5},
    {Method::RK4G, "rk4g", "Runge-Kutta-Gill", "Runge-Kutta-Gill Method", 4, 4},
}};

constexpr const MethodInfo& Info(Method method) { return kMethods[static_cast<std::size_t>(method)]; }

// Calls visit with the step type of `method` (Euler{}, RK4{}, ...), so that
// a march over any system and number type is instantiated per method: one
// choice per run, none per step.
template <typename Visitor>
decltype(auto) WithStep(Method method, Visitor&& visit) {
  switch (method) {
    case Method::EulerEP:
      return visit(EulerEP{});
    case Method::EulerMP:
      return visit(EulerMP{});
    case Method::RK4:
      return visit(RK4{});
    case Method::RKF:
      return visit(RKF{});
    case Method::RKM:
      return visit(RKM{});
    case Method::RK4G:
      return visit(RK4G{});
    case Method::Euler:
      break;
  }
  return visit(Euler{});
}

// One step of the built-in system in double, for tests and tools.
inline State<double> StepOnce(Method method, const State<double>& s, double h) {
  return WithStep(method, [&](auto step) { return decltype(step)::Step(BuiltInSystem{}, s, h); });
}

}  // namespace kavrin
