#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/failure.h"
#include "ode/order_conditions.h"
#include "ode/tableau.h"

namespace kavrin {

// A method typed as its Butcher tableau, in the layout textbooks print:
//
//   # Kutta's 3/8 rule
//   0   |
//   1/3 | 1/3
//   2/3 | -1/3  1
//   1   | 1    -1   1
//   ----+--------------------
//       | 1/8  3/8  3/8  1/8
//
// A first comment line names the method; each stage line gives c_i, a bar,
// then a_i1 ... (missing entries are 0); a line of dashes separates the
// weights; a second weights line gives an embedded pair's weights. An entry
// is a constant expression of the equation language (1/3, 0.5,
// 1 - sqrt(2)/2), entries apart by blanks or commas.
struct TypedTableau {
  std::string name;  // from the first comment line; empty without one
  Tableau tableau;
  // The entries as fractions, when every one was typed as a number or a
  // fraction of numbers (1/3, -0.25, (1 + 2)/7).
  std::optional<ExactTableau> exact;
  // Rows whose node is not the sum of their entries: a warning, not a refusal.
  std::vector<std::string> warnings;
};

// The most characters a tableau's text may have.
inline constexpr std::size_t kMaxTableauLength = 20000;

// Reads a tableau; a malformed one is a failure of Field::Tableau naming the
// line and the column.
Outcome<TypedTableau> ReadTableau(std::string_view text);

}  // namespace kavrin
