#pragma once

#include <cstdint>

namespace kavrin {

// Bytes of physical memory this process can still take without the system
// running out: the smaller of the kernel's available memory and what the
// process's memory limit (cgroup) leaves. Unknown counts as unlimited.
std::uint64_t AvailablePhysicalMemory();

}  // namespace kavrin
