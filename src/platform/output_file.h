#pragma once

#include <array>
#include <functional>
#include <streambuf>
#include <string>
#include <string_view>

struct stat;

namespace kavrin {

// A file the program writes, named by the bytes the user gave.
//
// - A name that stands for a descriptor the process already has
//   (/dev/stdout, /dev/stderr, /dev/fd/N, /proc/self/fd/N, which is what a
//   shell's process substitution passes) is written through that descriptor:
//   never reopened or replaced, so "kavrin ... >> log" keeps appending.
// - Any other existing destination that is not a regular file (a device, a
//   FIFO) is opened and written in place, never replaced.
// - A regular file, or a new one, is written to a temporary file in the
//   same folder and put in place by a rename only when every write, the
//   flush to the disk and the close succeeded: whole or not at all. A file
//   the user may not write (as the shell's ">" would not) is refused. A
//   replaced file keeps its permission bits, and its owner and group where
//   the process may set them; a new one gets 0666 less the umask. A
//   symbolic link is followed and the file it names replaced, so the link
//   stays a link. A file with more than one hard link is written in place,
//   as ">" would, so that every name sees the new contents: not atomically.
// - A folder is an error.
// Every failure is reported as "cannot write NAME: REASON", the reason in
// the system's words ("No space left on device"); the old file is then
// intact and no temporary file is left.
class OutputFile {
 public:
  explicit OutputFile(std::string path);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Each returns false once anything has failed; error() then says what.
  bool Open();
  bool Write(std::string_view bytes);
  // Puts the file in place (or closes the destination written in place).
  bool Commit();

  const std::string& error() const noexcept { return m_error; }

 private:
  enum class Resolved { Failed, Descriptor, Existing, New };
  bool Fail(const char* what);
  void Discard() noexcept;
#if !defined(_WIN32)
  Resolved Resolve(std::string& path, struct stat& info);
  Resolved Unresolved(const char* what);
  bool OpenTemporary(const std::string& path);
#endif

  std::string m_path;    // as the user gave it
  std::string m_target;  // the regular file to replace, links followed
  std::string m_temp;    // the temporary file's name, once it has one
  int m_fd = -1;
  bool m_borrowed = false;  // a descriptor of the process's own: not closed
  bool m_replace = false;   // a regular file, put in place by a rename
  bool m_sync = false;      // a regular file written in place, flushed to the disk
  bool m_unnamed = false;   // the temporary file has no name yet (O_TMPFILE)
  unsigned m_mode = 0;      // permission bits of the file replaced
  bool m_keep_mode = false;
  unsigned m_owner = 0, m_group = 0;
  std::string m_error;
};

// Writes a whole output: `produce` hands its chunks to the sink it is given,
// which returns false once writing has failed. Returns an empty text, or the
// report of what went wrong.
using OutputSink = std::function<bool(std::string_view)>;
std::string WriteOutput(const std::string& path, const std::function<bool(const OutputSink&)>& produce);

// An output stream's buffer over a descriptor the process has (standard
// output), which keeps the reason of the first failed write: the stream then
// fails, and error() tells why (an errno value, 0 for none).
class DescriptorBuffer : public std::streambuf {
 public:
  explicit DescriptorBuffer(int fd) : m_fd(fd) { setp(m_buffer.data(), m_buffer.data() + m_buffer.size()); }
  ~DescriptorBuffer() override { sync(); }
  DescriptorBuffer(const DescriptorBuffer&) = delete;
  DescriptorBuffer& operator=(const DescriptorBuffer&) = delete;

  int error() const noexcept { return m_error; }

 protected:
  int_type overflow(int_type c) override;
  int sync() override;

 private:
  bool Drain();

  int m_fd;
  int m_error = 0;
  std::array<char, 1 << 16> m_buffer{};
};

// "cannot write to standard output" with the reason, when `buffer` is a
// DescriptorBuffer that knows it.
std::string StandardOutputFailure(const std::streambuf* buffer);

// Makes a write beyond the file-size limit (ulimit -f) fail with "File too
// large" instead of ending the process, so that it can be reported.
void ReportOversizedWrites();

// Whether a descriptor is a terminal, where a person watches.
bool IsTerminal(int fd);

}  // namespace kavrin
