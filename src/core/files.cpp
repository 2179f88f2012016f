#include "core/files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "core/text.h"

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

Outcome<std::string> ReadTextFile(const std::string& path, std::size_t limit) {
  auto failed = [&](const std::string& reason) {
    return Failure{FailureKind::WrongInput, {Field::File}, {}, "cannot read " + Excerpt(path) + ": " + reason, {}};
  };
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) return failed(std::strerror(errno));
  std::string text;
  std::string chunk(4096, '\0');
  for (;;) {
    const std::size_t got = std::fread(chunk.data(), 1, chunk.size(), file.get());
    text.append(chunk, 0, got);
    if (text.size() > limit) return failed("longer than " + std::to_string(limit) + " bytes");
    if (got < chunk.size()) break;
  }
  if (std::ferror(file.get()) != 0) return failed(std::strerror(errno));
  return text;
}

Failure StandardOutputFailed(const std::streambuf* buffer) { return OutputFailure(StandardOutputFailure(buffer)); }

}  // namespace kavrin
