#include "ode/adaptive.h"

#include <algorithm>
#include <array>
#include <memory>
#include <mutex>

namespace kavrin {
namespace {

// y^(1/n) for y in [0.5, 2], by Newton's method from the tangent at 1,
// which lies above the root: each step comes down towards it, and four
// bring it to within a few units in the last place.
double RootNearOne(double y, int n) {
  double t = 1 + (y - 1) / n;
  for (int i = 0; i < 4; ++i) {
    double power = 1;
    for (int j = 0; j < n - 1; ++j) power *= t;
    t = t - (power * t - y) / (n * power);
  }
  return t;
}

// 2^(1/n) for the orders a pair can have, worked out once.
const std::array<double, kMostRoots + 1>& RootsOfTwo() {
  static const std::array<double, kMostRoots + 1> roots = [] {
    std::array<double, kMostRoots + 1> r{};
    for (int n = 1; n <= kMostRoots; ++n) {
      // From 2 down: the same Newton steps until they stop coming down.
      double t = 2;
      for (int i = 0; i < 200; ++i) {
        double power = 1;
        for (int j = 0; j < n - 1; ++j) power *= t;
        const double next = t - (power * t - 2) / (n * power);
        if (!(next < t)) break;
        t = next;
      }
      r[static_cast<std::size_t>(n)] = t;
    }
    return r;
  }();
  return roots;
}

}  // namespace

const RootTable& RootTableFor(int n) {
  static std::array<std::once_flag, kMostRoots + 1> once;
  static std::array<std::unique_ptr<RootTable>, kMostRoots + 1> tables;
  const auto i = static_cast<std::size_t>(std::clamp(n, 2, kMostRoots));
  std::call_once(once[i], [i] {
    const int order = static_cast<int>(i);
    auto t = std::make_unique<RootTable>();
    t->n = order;
    for (std::size_t c = 0; c < RootTable::kCells; ++c) {
      const double root = DeterministicRoot(0.5 + (static_cast<double>(c) + 0.5) / (2 * RootTable::kCells), order);
      t->down[c] = 1 / root;
      t->up[c] = 0.9 * root;
    }
    for (int biased = 1; biased <= 2046; ++biased) {
      // e = n k + r with 0 <= r < n: 2^(e/n) = 2^k (2^(1/n))^r, exactly scaled.
      const int e = biased - 1022;
      int k = e / order;
      int r = e - k * order;
      if (r < 0) {
        r += order;
        --k;
      }
      const double root = DeterministicRoot(std::ldexp(1.0, r), order);
      t->power_up[static_cast<std::size_t>(biased)] = std::ldexp(root, k);
      t->power_down[static_cast<std::size_t>(biased)] = std::ldexp(1 / root, -k);
    }
    tables[i] = std::move(t);
  });
  return *tables[i];
}

double DeterministicRoot(double x, int n) {
  if (!(x > 0) || !std::isfinite(x) || n < 1 || n > kMostRoots) return x;
  // x = m 2^e with m in [0.5, 1), e = n k + r: the root is
  // 2^k (2^(1/n))^r m^(1/n).
  int e = 0;
  const double m = std::frexp(x, &e);
  int k = e / n;
  int r = e - k * n;
  if (r < 0) {
    r += n;
    --k;
  }
  double root = RootNearOne(m, n);
  const double step = RootsOfTwo()[static_cast<std::size_t>(n)];
  for (int j = 0; j < r; ++j) root *= step;
  return std::ldexp(root, k);
}

}  // namespace kavrin
