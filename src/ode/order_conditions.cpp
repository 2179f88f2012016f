#include "ode/order_conditions.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kavrin {
namespace {

// The trees whose children, taken in descending index order from `largest`,
// have orders adding up to `remaining`.
void AddTrees(std::vector<RootedTree>& trees, std::size_t known, int order, int remaining, std::size_t largest,
              std::vector<std::size_t>& children) {
  if (remaining == 0) {
    RootedTree tree;
    tree.order = order;
    tree.children.assign(children.rbegin(), children.rend());
    tree.density = order;
    tree.text = "[";
    for (std::size_t k = 0; k < tree.children.size();) {
      std::size_t same = 1;
      while (k + same < tree.children.size() && tree.children[k + same] == tree.children[k]) ++same;
      tree.text += trees[tree.children[k]].text + (same > 1 ? SuperscriptDigits(same) : "");
      for (std::size_t j = 0; j < same; ++j) tree.density *= trees[tree.children[k]].density;
      k += same;
    }
    tree.text += "]";
    trees.push_back(std::move(tree));
    return;
  }
  for (std::size_t i = std::min(largest + 1, known); i-- > 0;) {
    if (trees[i].order > remaining) continue;
    children.push_back(i);
    AddTrees(trees, known, order, remaining - trees[i].order, i, children);
    children.pop_back();
  }
}

std::vector<RootedTree> AllTrees() {
  std::vector<RootedTree> trees;
  trees.push_back({1, {}, 1, "τ"});
  for (int order = 2; order <= kMaxCheckedOrder; ++order) {
    std::vector<std::size_t> children;
    const std::size_t known = trees.size();
    // Within an order the largest children come first: the tall tree
    // [[...]] leads and the bush [τ...τ] ends it.
    AddTrees(trees, known, order, order - 1, known - 1, children);
  }
  return trees;
}

std::string Digits17(double v) {
  std::array<char, 40> text{};
  std::snprintf(text.data(), text.size(), "%.17g", v);
  return text.data();
}

// b . Phi(t) for every tree in one arithmetic; g holds A Phi(t) per tree.
template <typename Number, typename Entry>
void Weights(std::size_t stages, const Entry& a, const std::vector<RootedTree>& trees,
             std::vector<std::array<Number, kMaxStages>>& phi) {
  std::vector<std::array<Number, kMaxStages>> a_phi(trees.size());
  phi.assign(trees.size(), {});
  for (std::size_t t = 0; t < trees.size(); ++t) {
    std::array<Number, kMaxStages>& p = phi[t];
    for (std::size_t i = 0; i < stages; ++i) {
      Number product(1);
      for (const std::size_t child : trees[t].children) product = product * a_phi[child][i];
      p[i] = product;
    }
    for (std::size_t i = 0; i < stages; ++i) {
      Number sum(0);
      for (std::size_t j = 0; j < stages; ++j) sum = sum + a(i, j) * p[j];
      a_phi[t][i] = sum;
    }
  }
}

}  // namespace

std::string SuperscriptDigits(std::size_t n) {
  static constexpr std::array<const char*, 10> kDigits{"⁰", "¹", "²", "³", "⁴", "⁵", "⁶", "⁷", "⁸", "⁹"};
  std::string text;
  for (const char digit : std::to_string(n)) text += kDigits[static_cast<std::size_t>(digit - '0')];
  return text;
}

const std::vector<RootedTree>& RootedTrees() {
  static const std::vector<RootedTree> trees = AllTrees();
  return trees;
}

OrderResult CheckOrder(const Tableau& tableau, const ExactTableau* exact, bool second) {
  const std::vector<RootedTree>& trees = RootedTrees();
  const std::size_t s = tableau.stages;
  if (exact != nullptr) {
    std::vector<std::array<Rational, kMaxStages>> phi;
    Weights<Rational>(
        s, [&](std::size_t i, std::size_t j) -> const Rational& { return exact->a[i][j]; }, trees, phi);
    const std::array<Rational, kMaxStages>& b = second ? exact->second : exact->b;
    bool valid = true;
    for (std::size_t t = 0; t < trees.size() && valid; ++t) {
      Rational left(0);
      for (std::size_t i = 0; i < s; ++i) left = left + b[i] * phi[t][i];
      const Rational right = Rational::Of(1, trees[t].density);
      valid = left.valid();
      if (valid && !(left == right)) {
        return {trees[t].order - 1, FailedCondition{t, left.Text(), right.Text()}, true};
      }
    }
    if (valid) return {kMaxCheckedOrder, std::nullopt, true};
  }
  // In double: each condition against the size of its terms.
  std::vector<std::array<double, kMaxStages>> phi;
  std::vector<std::array<double, kMaxStages>> size;
  Weights<double>(
      s, [&](std::size_t i, std::size_t j) { return tableau.a[i][j]; }, trees, phi);
  Weights<double>(
      s, [&](std::size_t i, std::size_t j) { return std::fabs(tableau.a[i][j]); }, trees, size);
  const std::array<double, kMaxStages>& b = second ? tableau.second : tableau.b;
  for (std::size_t t = 0; t < trees.size(); ++t) {
    double left = 0;
    double scale = 0;
    for (std::size_t i = 0; i < s; ++i) {
      left += b[i] * phi[t][i];
      scale += std::fabs(b[i]) * size[t][i];
    }
    const double right = 1.0 / static_cast<double>(trees[t].density);
    if (!(std::fabs(left - right) <= kOrderTolerance * std::max(scale, right))) {
      return {trees[t].order - 1, FailedCondition{t, Digits17(left), "1/" + std::to_string(trees[t].density)}, false};
    }
  }
  return {kMaxCheckedOrder, std::nullopt, false};
}

}  // namespace kavrin
