#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace kavrin {

// The tables xArr, y1Arr, y2Arr: three contiguous arrays of doubles in one
// block, sized once per run and left uninitialised. A run fills entries
// strictly in order, so the filled count tells which entries are empty; an
// empty entry reads as 0.
class SolutionTables {
 public:
  static constexpr std::size_t kBytesPerEntry = 3 * sizeof(double);
  // The most bytes one block can have: the address space, less a little
  // for rounding up to whole huge pages (4 GB in 32-bit WebAssembly).
  static constexpr std::uint64_t kMaxBytes =
      sizeof(std::size_t) >= 8 ? std::uint64_t{1} << 48 : std::uint64_t{SIZE_MAX} - (std::uint64_t{4} << 20);

  // The largest block, up to `bytes`, that can be allocated now (found by
  // allocating and freeing, without touching the memory).
  static std::uint64_t LargestBlock(std::uint64_t bytes);

  // Makes `entries` empty entries. The current block is reused when it fits
  // and is not much larger; otherwise it is freed before the new one is made.
  void Reset(std::size_t entries);

  std::size_t size() const noexcept { return m_size; }
  // Whether the last Reset made a new block, whose pages no one has touched.
  bool fresh() const noexcept { return m_fresh; }
  std::size_t filled() const noexcept { return m_filled; }
  // Bytes of the block held now, which Reset frees or reuses.
  std::size_t bytes() const noexcept { return m_capacity * kBytesPerEntry; }

  // Entry i, or 0 for an empty entry; an index outside the tables throws an
  // index-out-of-range Failure.
  double x(std::int64_t i) const { return Read(0, i); }
  double y1(std::int64_t i) const { return Read(1, i); }
  double y2(std::int64_t i) const { return Read(2, i); }

  // For the marching driver: raw storage and the count of filled entries.
  double* x_data() noexcept { return m_block.get(); }
  double* y1_data() noexcept { return m_block.get() + m_capacity; }
  double* y2_data() noexcept { return m_block.get() + 2 * m_capacity; }
  void set_filled(std::size_t count) noexcept { m_filled = count; }
  // Read-only storage for fast readers; only the first filled() entries hold values.
  const double* x_data() const noexcept { return m_block.get(); }
  const double* y1_data() const noexcept { return m_block.get() + m_capacity; }
  const double* y2_data() const noexcept { return m_block.get() + 2 * m_capacity; }

 private:
  struct BlockDeleter {
    void operator()(double* block) const noexcept;
  };

  double Read(std::size_t table, std::int64_t i) const;

  std::unique_ptr<double[], BlockDeleter> m_block;
  std::size_t m_capacity = 0;  // entries per table in the block
  std::size_t m_size = 0;
  std::size_t m_filled = 0;
  bool m_fresh = false;
};

}  // namespace kavrin
