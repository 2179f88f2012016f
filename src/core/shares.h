#pragma once

#include <algorithm>
#include <thread>
#include <vector>

namespace kavrin {

// The threads the machine runs at once; at least 1.
inline unsigned HardwareThreads() { return std::max(1u, std::thread::hardware_concurrency()); }

// Runs work(0), ..., work(shares - 1) at the same time, work(0) on the calling
// thread, and returns when all have ended. `work` must not throw: a share
// keeps its own failure for the caller to report.
template <typename Work>
void RunShares(unsigned shares, Work&& work) {
  std::vector<std::thread> pool;
  pool.reserve(shares > 1 ? shares - 1 : 0);
  for (unsigned t = 1; t < shares; ++t) pool.emplace_back([&work, t] { work(t); });
  work(0u);
  for (std::thread& thread : pool) thread.join();
}

}  // namespace kavrin
