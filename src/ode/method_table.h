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
  std::string_view result_name;  // name at the end of the result line
  int order;                     // order of convergence
  StepMethod step;
  MarchFunction march;              // March<step>
  MarchToEndFunction march_to_end;  // MarchToEnd<step>
};

inline constexpr std::size_t kMethodCount = 7;

// The one list of the methods that the driver, the window and the tests share.
const std::array<MethodInfo, kMethodCount>& MethodTable();

const MethodInfo& Info(Method method);

}  // namespace kavrin
