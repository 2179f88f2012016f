#pragma once

#include <algorithm>
#include <system_error>
#include <thread>
#include <vector>

namespace kavrin {

// The threads the machine runs at once; at least 1.
inline unsigned HardwareThreads() { return std::max(1u, std::thread::hardware_concurrency()); }

// Runs work(0), ..., work(shares - 1) and returns when all have ended:
// work(0) on the calling thread, the others on threads of their own. A share
// whose thread cannot be started (a process limit, no memory for its stack)
// runs on the calling thread after work(0), so the results are the same with
// fewer threads. `work` must not throw: a share keeps its own failure for the
// caller to report.
template <typename Work>
void RunShares(unsigned shares, Work&& work) {
  std::vector<std::thread> pool;
  unsigned started = 1;
  try {
    pool.reserve(shares > 1 ? shares - 1 : 0);
    for (; started < shares; ++started) pool.emplace_back([&work, t = started] { work(t); });
  } catch (const std::system_error&) {
  } catch (const std::bad_alloc&) {
  }
  work(0u);
  for (unsigned t = started; t < shares; ++t) work(t);
  for (std::thread& thread : pool) thread.join();
}

}  // namespace kavrin
