#include "core/memory.h"

#include <algorithm>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>

#if defined(_WIN32)
#define NOMINMAX
#include <windows.h>
#elif defined(__APPLE__)
#include <mach/mach.h>
#endif

namespace kavrin {
namespace {

constexpr std::uint64_t kUnknown = std::numeric_limits<std::uint64_t>::max();

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

// What the cgroup (v2) limit still allows: memory.max minus memory.current.
std::uint64_t CgroupAvailable() {
  std::ifstream self("/proc/self/cgroup");
  std::string line;
  std::string path;
  while (std::getline(self, line))
    if (line.rfind("0::", 0) == 0) path = line.substr(3);
  if (path.empty()) return kUnknown;
  const std::string dir = "/sys/fs/cgroup" + path;
  std::ifstream max_file(dir + "/memory.max");
  std::ifstream current_file(dir + "/memory.current");
  std::string max_text;
  std::uint64_t current = 0;
  if (!(max_file >> max_text) || max_text == "max" || !(current_file >> current)) return kUnknown;
  std::uint64_t limit = 0;
  std::istringstream(max_text) >> limit;
  return limit > current ? limit - current : 0;
}
#endif

}  // namespace

std::uint64_t AvailablePhysicalMemory() {
#if defined(__linux__)
  return std::min(KernelAvailable(), CgroupAvailable());
#elif defined(_WIN32)
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  if (GlobalMemoryStatusEx(&status)) return status.ullAvailPhys;
  return kUnknown;
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
