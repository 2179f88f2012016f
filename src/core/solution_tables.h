#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace kavrin {

// The tables xArr, y1Arr, y2Arr: three contiguous arrays of doubles, sized once
// per run and left uninitialised. A run fills entries strictly in order, so the
// filled count tells which entries are empty; an empty entry reads as 0.
class SolutionTables {
 public:
  static constexpr std::size_t kBytesPerEntry = 3 * sizeof(double);

  // Discards the current tables, then makes `entries` empty entries.
  void Reset(std::size_t entries);

  std::size_t size() const noexcept { return m_size; }
  std::size_t filled() const noexcept { return m_filled; }
  std::size_t bytes() const noexcept { return m_size * kBytesPerEntry; }

  // Entry i, or 0 for an empty entry; an index outside the tables throws an
  // index-out-of-range Failure.
  double x(std::int64_t i) const { return Read(m_x.get(), i); }
  double y1(std::int64_t i) const { return Read(m_y1.get(), i); }
  double y2(std::int64_t i) const { return Read(m_y2.get(), i); }

  // For the marching driver: raw storage and the count of filled entries.
  double* x_data() noexcept { return m_x.get(); }
  double* y1_data() noexcept { return m_y1.get(); }
  double* y2_data() noexcept { return m_y2.get(); }
  void set_filled(std::size_t count) noexcept { m_filled = count; }

 private:
  double Read(const double* table, std::int64_t i) const;

  std::unique_ptr<double[]> m_x;
  std::unique_ptr<double[]> m_y1;
  std::unique_ptr<double[]> m_y2;
  std::size_t m_size = 0;
  std::size_t m_filled = 0;
};

}  // namespace kavrin
