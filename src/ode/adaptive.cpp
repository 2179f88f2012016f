#include "ode/adaptive.h"

namespace kavrin {

double DeterministicRoot(double x, int n) {
  if (!(x > 0) || !std::isfinite(x) || n < 1) return x;
  // x = m 2^e, e = n k + r: the root is 2^k (m 2^r)^(1/n), m 2^r in [0.5, 2^n).
  int e = 0;
  const double m = std::frexp(x, &e);
  int k = e / n;
  int r = e - k * n;
  if (r < 0) {
    r += n;
    --k;
  }
  const double y = std::ldexp(m, r);
  // Newton's method for t^n = y from above (t = y^(1/n) < 2), a fixed number of times.
  double t = 2;
  for (int i = 0; i < 60; ++i) {
    double power = 1;
    for (int j = 0; j < n - 1; ++j) power *= t;
    const double next = t - (power * t - y) / (n * power);
    if (!(next < t)) break;
    t = next;
  }
  return std::ldexp(t, k);
}

}  // namespace kavrin
