#include "platform/memory.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <system_error>

#if defined(__linux__)
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

#if defined(_WIN32)
#define NOMINMAX
#include <windows.h>
#elif defined(__APPLE__)
#include <mach/mach.h>
#elif defined(__EMSCRIPTEN__)
#include <emscripten/heap.h>
#include <malloc.h>
#endif

namespace kavrin {
namespace {

[[maybe_unused]] constexpr std::uint64_t kUnknown = std::numeric_limits<std::uint64_t>::max();

#if defined(__linux__)
// "MemAvailable:  123456 kB" from /proc/meminfo.
std::uint64_t KernelAvailable() {
  std::ifstream meminfo("/proc/meminfo");
  std::string key;
  std::uint64_t kilobytes = 0;
  std::string unit;
  while (meminfo >> key >> kilobytes >> unit)
    if (key == "MemAvailable:") return kilobytes * 1024;
  return kUnknown;
}

// What a control group's limit still allows in `dir`: the limit minus the
// usage, read from the two files named; unknown when there is no limit.
std::uint64_t GroupLeft(const std::string& dir, const char* limit_file, const char* usage_file) {
  std::ifstream limit_in(dir + "/" + limit_file);
  std::ifstream usage_in(dir + "/" + usage_file);
  std::string limit_text;
  std::uint64_t usage = 0;
  if (!(limit_in >> limit_text) || limit_text == "max" || !(usage_in >> usage)) return kUnknown;
  std::uint64_t limit = kUnknown;
  std::istringstream(limit_text) >> limit;
  return limit > usage ? limit - usage : 0;
}

// The tightest limit of the process's control group and its ancestors,
// cgroup v2 ("0::/path") or the v1 memory controller ("N:memory:/path").
// Inside a container the group may be mounted at the root, so the root
// directory of each hierarchy is read as well.
std::uint64_t CgroupAvailable() {
  std::ifstream self("/proc/self/cgroup");
  std::string line;
  std::uint64_t left = kUnknown;
  while (std::getline(self, line)) {
    const bool v2 = line.rfind("0::", 0) == 0;
    const std::size_t memory = line.find(":memory:");
    if (!v2 && memory == std::string::npos) continue;
    const std::string base = v2 ? "/sys/fs/cgroup" : "/sys/fs/cgroup/memory";
    const char* limit_file = v2 ? "memory.max" : "memory.limit_in_bytes";
    const char* usage_file = v2 ? "memory.current" : "memory.usage_in_bytes";
    std::string path = v2 ? line.substr(3) : line.substr(memory + 8);
    for (;;) {
      left = std::min(left, GroupLeft(base + path, limit_file, usage_file));
      const std::size_t slash = path.find_last_of('/');
      if (slash == std::string::npos || path.size() <= 1) break;
      path = slash == 0 ? std::string("/") : path.substr(0, slash);
    }
  }
  return left;
}

// "VmSize:  123456 kB" and the like from /proc/self/status, in bytes.
std::uint64_t StatusBytes(const char* key) {
  std::ifstream status("/proc/self/status");
  std::string name;
  std::uint64_t kilobytes = 0;
  std::string unit;
  while (status >> name >> kilobytes >> unit)
    if (name == key) return kilobytes * 1024;
  return 0;
}

// What the process's own limits still allow: the address space (ulimit -v)
// less what is mapped, and the data limit less the private writable memory.
std::uint64_t LimitLeft(int resource, const char* used_key) {
  rlimit limit{};
  if (getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return kUnknown;
  const std::uint64_t used = StatusBytes(used_key);
  return limit.rlim_cur > used ? limit.rlim_cur - used : 0;
}
#endif

#if defined(__linux__)
#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23  // Linux 5.14
#endif
// Faults in the whole pages within [begin, end) writable; false when the
// kernel cannot.
bool Populate(const char* begin, const char* end) {
  static const std::uintptr_t page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const std::uintptr_t from = (reinterpret_cast<std::uintptr_t>(begin) + page - 1) / page * page;
  const std::uintptr_t to = reinterpret_cast<std::uintptr_t>(end) / page * page;
  if (from >= to) return true;
  // NOLINTNEXTLINE(performance-no-int-to-ptr): madvise takes the page as an address
  return madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE) == 0;
}
#endif

}  // namespace

PageToucher::PageToucher(double* const arrays[3], std::size_t entries) {
#if defined(__linux__)
  // 2 MB of each array at a time: a huge page where the block has them.
  constexpr std::size_t kSlice = (std::size_t{2} << 20) / sizeof(double);
  const std::array<double*, 3> starts{arrays[0], arrays[1], arrays[2]};
  // A thread that cannot be started is simply not used: the march touches
  // its pages itself.
  try {
    m_thread = std::thread([this, starts, entries] {
      for (std::size_t first = 0; first < entries && !m_stop.load(std::memory_order_relaxed); first += kSlice) {
        const std::size_t last = std::min(entries, first + kSlice);
        for (double* start : starts)
          if (!Populate(reinterpret_cast<const char*>(start + first), reinterpret_cast<const char*>(start + last)))
            return;
      }
    });
  } catch (const std::system_error&) {
  }
#else
  (void)arrays;
  (void)entries;
#endif
}

PageToucher::~PageToucher() {
  m_stop.store(true, std::memory_order_relaxed);
  if (m_thread.joinable()) m_thread.join();
}

std::uint64_t AvailableMemory() {
#if defined(__linux__)
  return std::min(
      {KernelAvailable(), CgroupAvailable(), LimitLeft(RLIMIT_AS, "VmSize:"), LimitLeft(RLIMIT_DATA, "VmData:")});
#elif defined(_WIN32)
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  if (GlobalMemoryStatusEx(&status)) return status.ullAvailPhys;
  return kUnknown;
#elif defined(__EMSCRIPTEN__)
  // The page's memory may grow to its maximum; what it holds now and does
  // not use is free too.
  const std::uint64_t maximum = emscripten_get_heap_max();
  const std::uint64_t now = emscripten_get_heap_size();
  return (maximum > now ? maximum - now : 0) + static_cast<std::uint64_t>(mallinfo().fordblks);
#elif defined(__APPLE__)
  vm_statistics64_data_t stats{};
  mach_msg_type_number_t count = HOST_VM_INFO64_COUNT;
  if (host_statistics64(mach_host_self(), HOST_VM_INFO64, reinterpret_cast<host_info64_t>(&stats), &count) ==
      KERN_SUCCESS)
    return (static_cast<std::uint64_t>(stats.free_count) + stats.inactive_count) * vm_page_size;
  return kUnknown;
#else
  return kUnknown;
#endif
}

}  // namespace kavrin
