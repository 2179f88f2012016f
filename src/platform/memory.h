#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <thread>

namespace kavrin {

// Bytes of memory this process can still take: the smallest of the kernel's
// available memory, what the process's control group (cgroup) leaves, and
// what its own limits on address space and data (ulimit -v, -d) leave.
// Unknown counts as unlimited (the largest value).
std::uint64_t AvailableMemory();

// Faults in the pages of three arrays of `entries` doubles in a second thread,
// a slice of each at a time in the order of their indices, so that a march
// writing them forward finds them ready and the first touch of fresh memory
// overlaps the march. The contents are not written (no race with the march);
// a system that cannot fault pages in this way gets no thread. Destruction
// stops the thread early and waits for it.
class PageToucher {
 public:
  PageToucher(double* const arrays[3], std::size_t entries);
  ~PageToucher();
  PageToucher(const PageToucher&) = delete;
  PageToucher& operator=(const PageToucher&) = delete;

 private:
  std::atomic<bool> m_stop{false};
  std::thread m_thread;
};

}  // namespace kavrin
