#include "core/solution_tables.h"

#include <string>

#include "core/failure.h"

namespace kavrin {

void SolutionTables::Reset(std::size_t entries) {
  // Free the old tables first so that the peak is one set, not two.
  m_x.reset();
  m_y1.reset();
  m_y2.reset();
  m_size = 0;
  m_filled = 0;
  // Uninitialised: each page is first touched when the march writes it.
  m_x = std::make_unique_for_overwrite<double[]>(entries);
  m_y1 = std::make_unique_for_overwrite<double[]>(entries);
  m_y2 = std::make_unique_for_overwrite<double[]>(entries);
  m_size = entries;
}

double SolutionTables::Read(const double* table, std::int64_t i) const {
  if (i < 0 || static_cast<std::uint64_t>(i) >= m_size)
    throw Failure(FailureKind::IndexOutOfRange,
                  "entry " + std::to_string(i) + " is outside the solution tables (" +
                      (m_size == 0 ? std::string("which are empty") : "indices 0 to " + std::to_string(m_size - 1)) +
                      ")");
  return static_cast<std::uint64_t>(i) < m_filled ? table[i] : 0.0;
}

}  // namespace kavrin
