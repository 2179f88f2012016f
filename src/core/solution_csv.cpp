#include "core/solution_csv.h"

#include <charconv>

#include "core/number_text.h"

namespace kavrin {
namespace {

char* Put(char* at, char* end, double value) { return ToChars(at, end, value, CharsStyle::Shortest); }

}  // namespace

void AppendCsvRows(const SolutionTables& tables, std::size_t first, std::size_t last, std::string& out) {
  const double* xs = tables.x_data();
  const double* y1s = tables.y1_data();
  const double* y2s = tables.y2_data();
  // A row is at most 20 + 3 * 25 + 4 characters.
  constexpr std::size_t kRowLimit = 100;
  std::size_t size = out.size();
  out.resize(size + (last - first) * kRowLimit);
  char* at = out.data() + size;
  char* const end = out.data() + out.size();
  for (std::size_t i = first; i < last; ++i) {
    at = std::to_chars(at, end, i).ptr;
    *at++ = ',';
    at = Put(at, end, xs[i]);
    *at++ = ',';
    at = Put(at, end, y1s[i]);
    *at++ = ',';
    at = Put(at, end, y2s[i]);
    *at++ = '\n';
  }
  out.resize(static_cast<std::size_t>(at - out.data()));
}

}  // namespace kavrin
