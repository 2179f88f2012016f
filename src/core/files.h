#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/failure.h"
#include "platform/output_file.h"

namespace kavrin {

// Writes a whole output through the checked writer (whole or not at all;
// devices, FIFOs and standard output in place): `produce` hands its chunks
// to the sink it is given. A failure names the file and the system's reason:
// "cannot write t.csv: No space left on device".
std::optional<Failure> WriteFile(const std::string& path, const std::function<bool(const OutputSink&)>& produce);
std::optional<Failure> WriteFile(const std::string& path, std::string_view bytes);

// A text file read whole, at most `limit` bytes: a failure names the file
// and the reason ("cannot read k.tableau: No such file or directory").
Outcome<std::string> ReadTextFile(const std::string& path, std::size_t limit);

// The failure of standard output, with its reason when `buffer` knows it.
Failure StandardOutputFailed(const std::streambuf* buffer);

}  // namespace kavrin
