#pragma once

#include <cstddef>
#include <string>

#include "core/solution_tables.h"

namespace kavrin {

// The solution as CSV: the header "i,x,y1,y2", then one row per filled entry,
// each number in the shortest decimal form that reads back as the same
// double, with "." as the decimal point.
inline constexpr char kCsvHeader[] = "i,x,y1,y2\n";

// Appends the rows of entries first to last - 1, which must be filled.
void AppendCsvRows(const SolutionTables& tables, std::size_t first, std::size_t last, std::string& out);

}  // namespace kavrin
