#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "ode/rational.h"
#include "ode/tableau.h"

namespace kavrin {

// The highest order whose conditions are checked.
inline constexpr int kMaxCheckedOrder = 8;

// A rooted tree of Butcher's theory: its children (indices into the list of
// all trees, in ascending order), its order |t| and density gamma(t). Its
// order condition is b . Phi(t) = 1/gamma(t).
struct RootedTree {
  int order = 1;
  std::vector<std::size_t> children;
  long long density = 1;
  std::string text;  // τ, [τ], [τ²], [[τ]], ...
};

// A count in superscript digits: 12 as "¹²" (tree powers, z's exponents).
std::string SuperscriptDigits(std::size_t n);

// Every rooted tree up to kMaxCheckedOrder, by order (1, 1, 2, 4, 9, 20, 48,
// 115 of them).
const std::vector<RootedTree>& RootedTrees();

// A tableau's entries as exact fractions, where each was typed as one.
struct ExactTableau {
  std::size_t stages = 0;
  std::array<std::array<Rational, kMaxStages>, kMaxStages> a{};
  std::array<Rational, kMaxStages> b{};
  std::array<Rational, kMaxStages> second{};
};

// The tolerance of a check in floating point, relative to the size of the
// condition's terms.
inline constexpr double kOrderTolerance = 1e-12;

// The first order condition a set of weights fails.
struct FailedCondition {
  std::size_t tree = 0;  // into RootedTrees()
  std::string left;      // b . Phi(t), as a fraction or to 17 digits
  std::string right;     // 1/gamma(t)
};

struct OrderResult {
  int order = 0;                           // every condition of order <= this holds (kMaxCheckedOrder at most)
  std::optional<FailedCondition> failure;  // the first that does not, by order
  bool exact = false;                      // checked in rational arithmetic
};

// The order of the weights `b` (or with `second`, the embedded ones) of a
// tableau: exactly when `exact` is given and its arithmetic stays within
// range, else in double to kOrderTolerance.
OrderResult CheckOrder(const Tableau& tableau, const ExactTableau* exact, bool second);

}  // namespace kavrin
