// Kavrin's RK4 against Boost.Odeint's classic RK4, and its RKF against GSL's
// rkf45, on the same system and step.
//
// They may differ at all only through the order of operations: Boost forms a
// stage argument as y + (h/2)*f and the new value as
// y + (h/6)*k1 + (h/3)*k2 + (h/3)*k3 + (h/6)*k4, where Kavrin forms
// y + (h*f)/2 and y + (((K1 + 2*K2) + 2*K3) + K4)/6. Each is correctly
// rounded at every operation, so a single step agrees to a few units in the
// last place; over a million steps those roundings add up.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "core/calculation.h"
#include "peers.h"

namespace {

std::int64_t UnitsInLastPlace(double a, double b) {
  std::int64_t ia = 0, ib = 0;
  std::memcpy(&ia, &a, sizeof a);
  std::memcpy(&ib, &b, sizeof b);
  return ia > ib ? ia - ib : ib - ia;  // same sign here: y1 > 0 and y2 < 0 throughout
}

using PeerStep = void (*)(double x, double y1, double y2, double h, double& out1, double& out2);

void BoostStep(double x, double y1, double y2, double h, double& out1, double& out2) {
  boost::numeric::odeint::runge_kutta4_classic<peers::State> stepper;
  peers::State y{y1, y2};
  stepper.do_step(peers::System(), y, x, h);
  out1 = y[0];
  out2 = y[1];
}

void GslRkf45Step(double x, double y1, double y2, double h, double& out1, double& out2) {
  static gsl_odeiv2_step* stepper = gsl_odeiv2_step_alloc(gsl_odeiv2_step_rkf45, 2);
  gsl_odeiv2_system system{peers::GslSystem, nullptr, 2, nullptr};
  double y[2] = {y1, y2}, error[2];
  gsl_odeiv2_step_reset(stepper);
  gsl_odeiv2_step_apply(stepper, x, h, y, error, nullptr, nullptr, &system);
  out1 = y[0];
  out2 = y[1];
}

struct Pairing {
  const char* name;
  kavrin::Method method;
  PeerStep peer;
};

class PeerAgreement : public ::testing::TestWithParam<Pairing> {
 protected:
  const kavrin::SolutionTables& Kavrin(long steps) {
    calc.Calculate({"0", "1", "-1", "1", std::to_string(steps)}, GetParam().method, ".");
    return calc.tables();
  }
  kavrin::Calculation calc;
};

void PrintTo(const Pairing& p, std::ostream* os) { *os << p.name; }

// Every step, taken by the peer from Kavrin's own previous entry, lands
// within a few units in the last place of Kavrin's next entry.
TEST_P(PeerAgreement, EveryStepAgreesToAFewUnitsInTheLastPlace) {
  for (const long steps : {10L, 1'000'000L}) {
    const kavrin::SolutionTables& t = Kavrin(steps);
    const double h = 1.0 / static_cast<double>(steps);
    std::int64_t worst = 0;
    for (long i = 1; i <= steps; ++i) {
      double y1 = 0, y2 = 0;
      GetParam().peer(t.x(i - 1), t.y1(i - 1), t.y2(i - 1), h, y1, y2);
      worst = std::max({worst, UnitsInLastPlace(y1, t.y1(i)), UnitsInLastPlace(y2, t.y2(i))});
    }
    EXPECT_LE(worst, 4) << steps << " steps";
  }
}

// Whole runs: after ten steps the difference is still a few units; after a
// million the independent roundings have added up, but stay far below the
// methods' own error (about 1e-10 here).
TEST_P(PeerAgreement, WholeRunsAgree) {
  for (const long steps : {10L, 1'000'000L}) {
    const kavrin::SolutionTables& t = Kavrin(steps);
    peers::Tables peer(static_cast<std::size_t>(steps));
    const double h = 1.0 / static_cast<double>(steps);
    if (GetParam().method == kavrin::Method::RK4)
      peers::BoostClassic(peer, static_cast<std::size_t>(steps), h);
    else
      peers::Gsl(gsl_odeiv2_step_rkf45, peer, static_cast<std::size_t>(steps), h);
    for (const long i : {1L, steps / 2, steps}) {
      EXPECT_EQ(peer.x[i], t.x(i));
      if (steps == 10) {
        EXPECT_LE(UnitsInLastPlace(peer.y1[i], t.y1(i)), 8) << "entry " << i;
        EXPECT_LE(UnitsInLastPlace(peer.y2[i], t.y2(i)), 8) << "entry " << i;
      } else {
        EXPECT_NEAR(peer.y1[i], t.y1(i), 1e-12) << "entry " << i;
        EXPECT_NEAR(peer.y2[i], t.y2(i), 1e-12) << "entry " << i;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Peers, PeerAgreement,
                         ::testing::Values(Pairing{"RK4_BoostClassic", kavrin::Method::RK4, BoostStep},
                                           Pairing{"RKF_GslRkf45", kavrin::Method::RKF, GslRkf45Step}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
