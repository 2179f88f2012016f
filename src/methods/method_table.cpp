#include "methods/method_table.h"

#include "core/equations.h"
#include "methods/euler_variants.h"
#include "methods/rk4.h"
#include "methods/rk4g.h"
#include "methods/rkf.h"
#include "methods/rkm.h"

namespace kavrin {

const std::array<MethodInfo, kMethodCount>& MethodTable() {
  static constexpr std::array<MethodInfo, kMethodCount> table{{
      {Method::Euler, "Option_Euler", "Euler", &Euler, "Euler Method", 1},
      {Method::EulerEP, "Option_EulerEP", "Euler (End points)", &EulerEP, "Euler End-Point Method", 2},
      {Method::EulerMP, "Option_EulerMP", "Euler (Mid point)", &EulerMP, "Euler Mid-Point Method", 2},
      {Method::RK4, "Option_RK4", "Runge-Kutta 4", &RK4, "Runge-Kutta-4 Method", 4},
      {Method::RKF, "Option_RKF", "Runge-Kutta-Fehlberg", &RKF, "Runge-Kutta-Fehlberg Method", 5},
      {Method::RKM, "Option_RKM", "Runge-Kutta-Merson", &RKM, "Runge-Kutta-Merson Method", 4},
      {Method::RK4G, "Option_RK4G", "Runge-Kutta-Gill", &RK4G, "Runge-Kutta-Gill Method", 4},
  }};
  return table;
}

const MethodInfo& Info(Method method) { return MethodTable()[static_cast<std::size_t>(method)]; }

}  // namespace kavrin
