#include "core/files.h"

namespace kavrin {
namespace {

Failure OutputFailure(std::string text) { return {FailureKind::Output, {Field::File}, {}, std::move(text), {}}; }

}  // namespace

std::optional<Failure> WriteFile(const std::string& path, const std::function<bool(const OutputSink&)>& produce) {
  std::string report = WriteOutput(path, produce);
  if (report.empty()) return std::nullopt;
  return OutputFailure(std::move(report));
}

std::optional<Failure> WriteFile(const std::string& path, std::string_view bytes) {
  return WriteFile(path, [bytes](const OutputSink& sink) { return sink(bytes); });
}

Failure StandardOutputFailed(const std::streambuf* buffer) { return OutputFailure(StandardOutputFailure(buffer)); }

}  // namespace kavrin
