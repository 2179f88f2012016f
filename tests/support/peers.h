#pragma once

// The same system and the same tables, marched with the libraries a C++ user
// would otherwise pick: Boost.Odeint and GSL. Shared by the benchmark and
// the agreement test.

#include <gsl/gsl_errno.h>
#include <gsl/gsl_odeiv2.h>

#include <array>
#include <boost/numeric/odeint.hpp>
#include <cstddef>

namespace peers {

using State = std::array<double, 2>;

// y1' = y1*y2 + x, y2' = x*y2 + y1.
struct System {
  void operator()(const State& y, State& dydt, double x) const {
    dydt[0] = y[0] * y[1] + x;
    dydt[1] = x * y[1] + y[0];
  }
};

inline int GslSystem(double x, const double y[], double dydt[], void*) {
  dydt[0] = y[0] * y[1] + x;
  dydt[1] = x * y[1] + y[0];
  return GSL_SUCCESS;
}

// Three tables of n + 1 entries, like Kavrin's.
struct Tables {
  explicit Tables(std::size_t steps) : x(new double[steps + 1]), y1(new double[steps + 1]), y2(new double[steps + 1]) {}
  ~Tables() {
    delete[] x;
    delete[] y1;
    delete[] y2;
  }
  Tables(const Tables&) = delete;
  Tables& operator=(const Tables&) = delete;
  double* x;
  double* y1;
  double* y2;
};

inline void Start(Tables& t) {
  t.x[0] = 0;
  t.y1[0] = 1;
  t.y2[0] = -1;
}

// Boost.Odeint's classic RK4, one do_step per step, x advanced by addition.
inline void BoostClassic(Tables& t, std::size_t steps, double h) {
  boost::numeric::odeint::runge_kutta4_classic<State> stepper;
  State y{1, -1};
  double x = 0;
  Start(t);
  for (std::size_t i = 1; i <= steps; ++i) {
    stepper.do_step(System(), y, x, h);
    x += h;
    t.x[i] = x;
    t.y1[i] = y[0];
    t.y2[i] = y[1];
  }
}

// Boost.Odeint's generic RK4 driven by integrate_n_steps with an observer.
inline void BoostIntegrate(Tables& t, std::size_t steps, double h) {
  State y{1, -1};
  std::size_t i = 0;
  auto observe = [&t, &i](const State& s, double x) {
    t.x[i] = x;
    t.y1[i] = s[0];
    t.y2[i] = s[1];
    ++i;
  };
  boost::numeric::odeint::integrate_n_steps(boost::numeric::odeint::runge_kutta4<State>(), System(), y, 0.0, h, steps,
                                            observe);
}

// GSL's fixed-step driver: gsl_odeiv2_step_apply with a given step type.
inline void Gsl(const gsl_odeiv2_step_type* type, Tables& t, std::size_t steps, double h) {
  gsl_odeiv2_system system{GslSystem, nullptr, 2, nullptr};
  gsl_odeiv2_step* stepper = gsl_odeiv2_step_alloc(type, 2);
  double y[2] = {1, -1};
  double error[2];
  double x = 0;
  Start(t);
  for (std::size_t i = 1; i <= steps; ++i) {
    gsl_odeiv2_step_apply(stepper, x, h, y, error, nullptr, nullptr, &system);
    x += h;
    t.x[i] = x;
    t.y1[i] = y[0];
    t.y2[i] = y[1];
  }
  gsl_odeiv2_step_free(stepper);
}

}  // namespace peers
