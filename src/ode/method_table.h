#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "ode/march.h"

namespace kavrin {

// The seven step methods, in the order of their option buttons.
enum class Method { Euler, EulerEP, EulerMP, RK4, RKF, RKM, RK4G };

struct MethodInfo {
  Method method;
  std::string_view id;           // on the command line and in files: "rk4"
  std::string_view caption;      // on the method's button: "Runge-Kutta 4"
  std::string_view result_name;  // at the end of the result line: "Runge-Kutta-4 Method"
  int order;                     // order of convergence
  int stages;                    // evaluations of the system per step
  StepMethod step;
  MarchFunction march;              // March<step>
  MarchToEndFunction march_to_end;  // MarchToEnd<step>
};

inline constexpr std::size_t kMethodCount = 7;

// The one list of the methods that the driver, the window and the tests share.
const std::array<MethodInfo, kMethodCount>& MethodTable();

const MethodInfo& Info(Method method);

}  // namespace kavrin
