#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/failure.h"
#include "core/tableau_text.h"
#include "ode/method_table.h"
#include "ode/order_conditions.h"
#include "ode/tableau.h"

namespace kavrin {

// What a textbook checks of a tableau: explicit or not, its order from the
// order conditions (and the embedded weights' order), the first condition
// that fails, its stability function and its intervals on the axes.
struct TableauAnalysis {
  bool explicit_method = false;
  OrderResult order;
  std::optional<OrderResult> embedded;      // with a second weights line
  std::vector<double> stability;            // R(z)'s coefficients from z^0 (explicit only)
  std::vector<std::string> stability_text;  // the same as fractions where exact
  StabilityIntervals intervals;
};

TableauAnalysis AnalyseTableau(const TypedTableau& typed);

// The analysis as lines of text, the same in every face.
std::vector<std::string> AnalysisLines(const TypedTableau& typed, const TableauAnalysis& analysis);

// A classic tableau shipped with the program, by its id (its file's name).
struct ShippedTableau {
  std::string_view id;
  std::string_view text;
};
const std::vector<ShippedTableau>& ShippedTableaux();

// Reads, checks and adds a tableau as a method under `id` (letters, digits,
// '-' and '_', not a built-in method's id): refused when it does not read,
// is not explicit or has no order.
Outcome<Method> AddTableauMethod(std::string_view id, std::string_view text);

// A tableau in the layout ReadTableau reads, its entries in their shortest
// round-trip form, named by a first comment line.
std::string TableauText(const std::string& name, const Tableau& tableau);

// The tableau of a method as text: an added one's as it was typed, else its
// coefficients written out.
std::string MethodTableauText(Method method);

// The lower order of a method's embedded pair (the order its step sizes are
// chosen for), or nullopt for a method without one.
std::optional<int> PairOrder(Method method);

// The ids of the methods known now and shipped that have an embedded pair.
std::vector<std::string> PairedMethodIds();

// An id made from a file's name: the name without its folder and extension.
std::string IdFromFileName(std::string_view path);

// A method by id (or result name): one of the list, one added, or a
// shipped tableau (added on first use); nullopt when none has that id.
std::optional<Method> FindMethod(std::string_view id);
// The same among the methods known now, adding none.
std::optional<Method> KnownMethod(std::string_view id);

}  // namespace kavrin
