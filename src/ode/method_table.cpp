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
      {Method::Euler, "euler", "Euler", "Euler Method", 1, 1, &Euler, &March<Euler>, &MarchToEnd<Euler>},
      {Method::EulerEP, "euler-ep", "Euler (End points)", "Euler End-Point Method", 2, 2, &EulerEP, &March<EulerEP>,
       &MarchToEnd<EulerEP>},
      {Method::EulerMP, "euler-mp", "Euler (Mid point)", "Euler Mid-Point Method", 2, 2, &EulerMP, &March<EulerMP>,
       &MarchToEnd<EulerMP>},
      {Method::RK4, "rk4", "Runge-Kutta 4", "Runge-Kutta-4 Method", 4, 4, &RK4, &March<RK4>, &MarchToEnd<RK4>},
      {Method::RKF, "rkf", "Runge-Kutta-Fehlberg", "Runge-Kutta-Fehlberg Method", 5, 6, &RKF, &March<RKF>,
       &MarchToEnd<RKF>},
      {Method::RKM, "rkm", "Runge-Kutta-Merson", "Runge-Kutta-Merson Method", 4, 5, &RKM, &March<RKM>,
       &MarchToEnd<RKM>},
      {Method::RK4G, "rk4g", "Runge-Kutta-Gill", "Runge-Kutta-Gill Method", 4, 4, &RK4G, &March<RK4G>,
       &MarchToEnd<RK4G>},
  }};
  return table;
}

const MethodInfo& Info(Method method) { return MethodTable()[static_cast<std::size_t>(method)]; }

}  // namespace kavrin
