#include "core/solution_tables.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <string>

#include "core/failure.h"

#if defined(__linux__)
#include <sys/mman.h>
#elif defined(_WIN32)
#include <malloc.h>
#endif

namespace kavrin {
namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

// A block of `bytes`, uninitialised. Large blocks are aligned to and asked for
// in huge pages: a first touch then faults once per 2 MB instead of once per
// 4 KB, which on virtual machines costs more than the march itself.
double* AllocateBlock(std::size_t bytes) {
  void* block = nullptr;
  if (bytes >= kHugePage) {
    bytes = (bytes + kHugePage - 1) / kHugePage * kHugePage;
#if defined(_WIN32)
    block = _aligned_malloc(bytes, kHugePage);
#else
    block = std::aligned_alloc(kHugePage, bytes);
#endif
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (block != nullptr) madvise(block, bytes, MADV_HUGEPAGE);
#endif
  } else {
#if defined(_WIN32)
    block = _aligned_malloc(bytes, alignof(double));
#else
    block = std::malloc(bytes);
#endif
  }
  if (block == nullptr) throw std::bad_alloc();
  return static_cast<double*>(block);
}

}  // namespace

void SolutionTables::BlockDeleter::operator()(double* block) const noexcept {
#if defined(_WIN32)
  _aligned_free(block);
#else
  std::free(block);
#endif
}

void SolutionTables::Reset(std::size_t entries) {
  m_size = 0;
  m_filled = 0;
  // Reuse the block when it fits and wastes at most half of itself.
  const bool reuse = m_block && entries <= m_capacity && entries >= m_capacity / 2;
  m_fresh = !reuse;
  if (!reuse) {
    m_block.reset();  // free first, so that the peak is one block, not two
    m_capacity = 0;
    m_block.reset(AllocateBlock(entries * kBytesPerEntry));
    m_capacity = entries;
  }
  m_size = entries;
}

std::uint64_t SolutionTables::LargestBlock(std::uint64_t bytes) {
  bytes = std::min(bytes, kMaxBytes);
  auto fits = [](std::uint64_t size) {
    try {
      const std::unique_ptr<double[], BlockDeleter> block(AllocateBlock(static_cast<std::size_t>(size)));
      return true;
    } catch (const std::bad_alloc&) {
      return false;
    }
  };
  // Halve until a block fits, then narrow the gap to the one that did not.
  std::uint64_t high = bytes;
  std::uint64_t low = bytes;
  while (low > 0 && !fits(low)) {
    high = low;
    low /= 2;
  }
  for (int i = 0; i < 6 && low > 0 && high > low; ++i) {
    const std::uint64_t middle = low + (high - low) / 2;
    (fits(middle) ? low : high) = middle;
  }
  return low;
}

double SolutionTables::Read(std::size_t table, std::int64_t i) const {
  if (i < 0 || static_cast<std::uint64_t>(i) >= m_size) {
    throw Failure{FailureKind::IndexOutOfRange,
                  {},
                  {},
                  "entry " + std::to_string(i) + " is outside the solution tables (" +
                      (m_size == 0 ? std::string("which are empty") : "indices 0 to " + std::to_string(m_size - 1)) +
                      ")",
                  {}};
  }
  return static_cast<std::uint64_t>(i) < m_filled ? m_block[table * m_capacity + static_cast<std::size_t>(i)] : 0.0;
}

}  // namespace kavrin
