#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace kavrin {

// The seven step methods, in the order of their option buttons.
enum class Method { Euler, EulerEP, EulerMP, RK4, RKF, RKM, RK4G };

using StepMethod = void (*)(const double& x0, const double& y1_0, const double& y2_0, const double& h, double& y1,
                            double& y2);

struct MethodInfo {
  Method method;
  std::string_view option_name;  // objectName of the option button
  std::string_view caption;      // text on the option button
  StepMethod step;
  std::string_view result_name;  // name at the end of the result line
  int order;                     // order of convergence
};

inline constexpr std::size_t kMethodCount = 7;

// The one list that the window, the driver and the tests share.
const std::array<MethodInfo, kMethodCount>& MethodTable();

const MethodInfo& Info(Method method);

}  // namespace kavrin
