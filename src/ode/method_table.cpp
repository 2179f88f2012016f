#include "ode/method_table.h"

#include "ode/euler.h"
#include "ode/euler_variants.h"
#include "ode/rk4.h"
#include "ode/rk4g.h"
#include "ode/rkf.h"
#include "ode/rkm.h"

namespace kavrin {

const std::array<MethodInfo, kMethodCount>& MethodTable() {
  static constexpr std::array<MethodInfo, kMethodCount> table{{
      {Method::Euler, "Euler Method", 1, &Euler, &March<Euler>, &MarchToEnd<Euler>},
      {Method::EulerEP, "Euler End-Point Method", 2, &EulerEP, &March<EulerEP>, &MarchToEnd<EulerEP>},
      {Method::EulerMP, "Euler Mid-Point Method", 2, &EulerMP, &March<EulerMP>, &MarchToEnd<EulerMP>},
      {Method::RK4, "Runge-Kutta-4 Method", 4, &RK4, &March<RK4>, &MarchToEnd<RK4>},
      {Method::RKF, "Runge-Kutta-Fehlberg Method", 5, &RKF, &March<RKF>, &MarchToEnd<RKF>},
      {Method::RKM, "Runge-Kutta-Merson Method", 4, &RKM, &March<RKM>, &MarchToEnd<RKM>},
      {Method::RK4G, "Runge-Kutta-Gill Method", 4, &RK4G, &March<RK4G>, &MarchToEnd<RK4G>},
  }};
  return table;
}

const MethodInfo& Info(Method method) { return MethodTable()[static_cast<std::size_t>(method)]; }

}  // namespace kavrin
