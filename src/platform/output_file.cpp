#include "platform/output_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#if defined(_WIN32)
#define NOMINMAX
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <random>
#endif

namespace kavrin {

OutputFile::OutputFile(std::string path) : m_path(std::move(path)) {}

OutputFile::~OutputFile() { Discard(); }

// The report names the file and the system's reason, or `what` when there is
// no errno to tell it.
bool OutputFile::Fail(const char* what) {
  const int error = errno;
  m_error = "cannot write " + m_path + ": " + (error != 0 ? std::strerror(error) : what);
  Discard();
  return false;
}

#if defined(_WIN32)

// Windows has neither descriptors named by paths nor FIFOs in the file
// system: a temporary file beside the destination, moved over it.
void OutputFile::Discard() noexcept {
  if (m_fd >= 0) _close(m_fd);
  m_fd = -1;
  if (!m_temp.empty()) _unlink(m_temp.c_str());
  m_temp.clear();
}

bool OutputFile::Open() {
  struct _stat64 info {};
  if (_stat64(m_path.c_str(), &info) == 0 && (info.st_mode & _S_IFDIR) != 0) {
    errno = EISDIR;
    return Fail("it is a folder");
  }
  m_temp = m_path + ".kavrin-tmp";
  m_fd = _open(m_temp.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, _S_IREAD | _S_IWRITE);
  return m_fd >= 0 ? true : Fail("cannot create a file there");
}

bool OutputFile::Write(std::string_view bytes) {
  if (m_fd < 0) return false;
  while (!bytes.empty()) {
    const unsigned chunk = bytes.size() > (1u << 30) ? (1u << 30) : static_cast<unsigned>(bytes.size());
    const int written = _write(m_fd, bytes.data(), chunk);
    if (written < 0) return Fail("write failed");
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

bool OutputFile::Commit() {
  if (m_fd < 0) return false;
  if (_commit(m_fd) != 0) return Fail("flush failed");
  const int fd = std::exchange(m_fd, -1);
  if (_close(fd) != 0) return Fail("close failed");
  if (!MoveFileExA(m_temp.c_str(), m_path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    errno = EACCES;
    return Fail("cannot put it in place");
  }
  m_temp.clear();
  return true;
}

void ReportOversizedWrites() {}

bool IsTerminal(int fd) { return _isatty(fd) != 0; }

#else

namespace {

constexpr int kMaxLinks = 40;

// The descriptor a name stands for, or -1: /dev/stdout, /dev/stderr,
// /dev/stdin, /dev/fd/N, /proc/self/fd/N and /proc/<this process>/fd/N.
int NamedDescriptor(const std::string& path) {
  if (path == "/dev/stdin") return 0;
  if (path == "/dev/stdout") return 1;
  if (path == "/dev/stderr") return 2;
  const std::string own = "/proc/" + std::to_string(getpid()) + "/fd/";
  for (const std::string& prefix : {std::string("/dev/fd/"), std::string("/proc/self/fd/"), own}) {
    if (path.size() <= prefix.size() || path.compare(0, prefix.size(), prefix) != 0) continue;
    const std::string digits = path.substr(prefix.size());
    if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) return -1;
    return std::stoi(digits);
  }
  return -1;
}

std::string Folder(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A name in `folder` that nothing has yet, for the temporary file: the
// base name between a dot and a dot and eight random characters, the base
// cut (at a character's start) where the whole would be longer than the
// folder's names may be.
std::string TempName(const std::string& folder, const std::string& base) {
  static thread_local std::mt19937_64 random(std::random_device{}() ^ static_cast<std::uint64_t>(getpid()));
  static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  const long longest = pathconf(folder.c_str(), _PC_NAME_MAX);
  const std::size_t room = (longest > 0 ? static_cast<std::size_t>(longest) : 255) - 10;
  std::size_t cut = std::min(base.size(), room);
  while (cut > 0 && cut < base.size() && (static_cast<unsigned char>(base[cut]) & 0xC0) == 0x80) --cut;
  std::string name = folder + "/." + base.substr(0, cut) + ".";
  for (int i = 0; i < 8; ++i) name += digits[random() % 36];
  return name;
}

}  // namespace

void OutputFile::Discard() noexcept {
  if (m_fd >= 0 && !m_borrowed) close(m_fd);
  m_fd = -1;
  if (!m_temp.empty()) unlink(m_temp.c_str());
  m_temp.clear();
}

// Follows the name through its links, looking for a descriptor's name at
// each step, to what it finally names: a descriptor the process has (then
// borrowed), or a path that exists (`info` tells what it is) or not yet.
OutputFile::Resolved OutputFile::Unresolved(const char* what) {
  Fail(what);
  return Resolved::Failed;
}

OutputFile::Resolved OutputFile::Resolve(std::string& path, struct stat& info) {
  for (int links = 0;; ++links) {
    const int descriptor = NamedDescriptor(path);
    if (descriptor >= 0) {
      const int flags = fcntl(descriptor, F_GETFL);
      if (flags == -1) return Unresolved("no such descriptor");
      if ((flags & O_ACCMODE) == O_RDONLY) {
        errno = EBADF;
        return Unresolved("the descriptor is open for reading only");
      }
      m_fd = descriptor;
      m_borrowed = true;
      return Resolved::Descriptor;
    }
    if (lstat(path.c_str(), &info) != 0) {
      if (errno != ENOENT) return Unresolved("cannot look at it");
      return Resolved::New;  // a new file (perhaps the target of a dangling link)
    }
    if (!S_ISLNK(info.st_mode)) return Resolved::Existing;
    if (links == kMaxLinks) {
      errno = ELOOP;
      return Unresolved("too many links");
    }
    std::string link(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 4096) + 1, '\0');
    const ssize_t length = readlink(path.c_str(), link.data(), link.size());
    if (length < 0) return Unresolved("cannot read the link");
    link.resize(static_cast<std::size_t>(length));
    path = link.front() == '/' ? link : Folder(path).append("/").append(link);
  }
}

bool OutputFile::Open() {
  std::string path = m_path;
  struct stat info {};
  const Resolved resolved = Resolve(path, info);
  if (resolved == Resolved::Failed) return false;
  if (resolved == Resolved::Descriptor) return true;
  const bool exists = resolved == Resolved::Existing;
  if (exists && S_ISDIR(info.st_mode)) {
    errno = EISDIR;
    return Fail("it is a folder");
  }
  if (exists && !S_ISREG(info.st_mode)) {
    // A device or a FIFO: written in place, as a shell's redirection would.
    m_fd = open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    return m_fd >= 0 ? true : Fail("cannot open it");
  }
  if (exists) {
    // A file the user may not write is not replaced, as the shell's ">"
    // would not write it.
    if (faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) return Fail("cannot open it for writing");
    // A file with other names is written in place, as ">" would, so that
    // every name sees the new contents.
    if (info.st_nlink > 1) {
      m_fd = open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOCTTY);
      m_sync = true;
      return m_fd >= 0 ? true : Fail("cannot open it");
    }
    m_keep_mode = true;
    m_mode = info.st_mode & 07777;
    m_owner = info.st_uid;
    m_group = info.st_gid;
  }
  m_replace = true;
  m_target = path;
  return OpenTemporary(path);
}

// The temporary file in the destination's folder.
bool OutputFile::OpenTemporary(const std::string& path) {
  const std::string folder = Folder(path);
#if defined(O_TMPFILE)
  // A file without a name until it is complete: nothing is left behind if
  // the program is stopped half-way. The umask applies to 0666.
  m_fd = open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (m_fd >= 0) {
    m_unnamed = true;
    return true;
  }
  if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return Fail("cannot create a file there");
#endif
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = TempName(folder, BaseName(path));
    m_fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (m_fd >= 0) {
      m_temp = name;
      return true;
    }
    if (errno != EEXIST) break;
  }
  return Fail("cannot create a file there");
}

bool OutputFile::Write(std::string_view bytes) {
  if (m_fd < 0) return false;
  while (!bytes.empty()) {
    const ssize_t written = write(m_fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return Fail("write failed");
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

bool OutputFile::Commit() {
  if (m_fd < 0) return false;
  if (m_borrowed) {
    m_fd = -1;
    return true;
  }
  if (!m_replace) {
    if (m_sync && fsync(m_fd) != 0 && errno != EINVAL) return Fail("flush failed");
    const int fd = std::exchange(m_fd, -1);
    return close(fd) == 0 ? true : Fail("close failed");
  }
  // On the disk before it takes the old file's place.
  if (fsync(m_fd) != 0 && errno != EINVAL) return Fail("flush failed");
  if (m_keep_mode) {
    // The file keeps its owner as root, and its group where the user belongs
    // to it.
    if (fchown(m_fd, geteuid() == 0 ? m_owner : static_cast<uid_t>(-1), m_group) != 0) {
      // Not a failure: the file is whole, only its owner or group is the user's now.
    }
    if (fchmod(m_fd, m_mode) != 0) return Fail("cannot set its permissions");
  }
  const std::string folder = Folder(m_target);
  if (m_unnamed) {
    const std::string self = "/proc/self/fd/" + std::to_string(m_fd);
    for (int attempt = 0; attempt < 100 && m_temp.empty(); ++attempt) {
      const std::string name = TempName(folder, BaseName(m_target));
      if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
          (errno == ENOENT && linkat(m_fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0)) {
        m_temp = name;
      } else if (errno != EEXIST) {
        return Fail("cannot give it a name");
      }
    }
    if (m_temp.empty()) return Fail("cannot give it a name");
  }
  const int fd = std::exchange(m_fd, -1);
  if (close(fd) != 0) return Fail("close failed");
  if (rename(m_temp.c_str(), m_target.c_str()) != 0) return Fail("cannot put it in place");
  m_temp.clear();
  return true;
}

void ReportOversizedWrites() { std::signal(SIGXFSZ, SIG_IGN); }

bool IsTerminal(int fd) { return isatty(fd) != 0; }

#endif

bool DescriptorBuffer::Drain() {
  const char* at = pbase();
  std::size_t left = static_cast<std::size_t>(pptr() - pbase());
  setp(m_buffer.data(), m_buffer.data() + m_buffer.size());
  if (m_error != 0) return false;
  while (left > 0) {
#if defined(_WIN32)
    const auto written = _write(m_fd, at, static_cast<unsigned>(left));
#else
    const ssize_t written = write(m_fd, at, left);
#endif
    if (written < 0) {
      if (errno == EINTR) continue;
      m_error = errno;
      return false;
    }
    at += written;
    left -= static_cast<std::size_t>(written);
  }
  return true;
}

DescriptorBuffer::int_type DescriptorBuffer::overflow(int_type c) {
  if (!Drain()) return traits_type::eof();
  if (!traits_type::eq_int_type(c, traits_type::eof())) {
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
  }
  return traits_type::not_eof(c);
}

int DescriptorBuffer::sync() { return Drain() ? 0 : -1; }

std::string StandardOutputFailure(const std::streambuf* buffer) {
  const auto* descriptor = dynamic_cast<const DescriptorBuffer*>(buffer);
  const int error = descriptor != nullptr ? descriptor->error() : 0;
  return "cannot write to standard output" + (error != 0 ? ": " + std::string(std::strerror(error)) : std::string());
}

std::string WriteOutput(const std::string& path, const std::function<bool(const OutputSink&)>& produce) {
  OutputFile file(path);
  if (!file.Open()) return file.error();
  const bool produced = produce([&file](std::string_view bytes) { return file.Write(bytes); });
  if (!produced) return file.error().empty() ? "cannot write " + path : file.error();
  if (!file.Commit()) return file.error();
  return {};
}

}  // namespace kavrin
