#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <vector>

#include "cli/platform.h"
#include "cli/wildcard.h"

namespace tamrik::platform {
namespace {

// Buffered, seekable reading over a descriptor. A seek inside the buffer
// keeps it, so reading the header and then a directory close behind it costs
// one read.
class FdStreamBuf : public std::streambuf {
 public:
  explicit FdStreamBuf(int fd) : fd_(fd), buffer_(new char[kBufferBytes]) {}
  FdStreamBuf(const FdStreamBuf&) = delete;
  FdStreamBuf& operator=(const FdStreamBuf&) = delete;
  ~FdStreamBuf() override { ::close(fd_); }

 protected:
  int_type underflow() override {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    bufferStart_ = position_;
    ssize_t got;
    do {
      got = ::pread(fd_, buffer_.get(), kBufferBytes, position_);
    } while (got < 0 && errno == EINTR);
    if (got <= 0) {
      setg(buffer_.get(), buffer_.get(), buffer_.get());
      return traits_type::eof();
    }
    position_ += got;
    setg(buffer_.get(), buffer_.get(), buffer_.get() + got);
    return traits_type::to_int_type(*gptr());
  }

  pos_type seekoff(off_type off, std::ios_base::seekdir dir,
                   std::ios_base::openmode which) override {
    if (dir == std::ios_base::cur) {
      off += bufferStart_ + (gptr() - eback());
    } else if (dir == std::ios_base::end) {
      struct stat info;
      if (::fstat(fd_, &info) != 0) return pos_type(off_type(-1));
      off += info.st_size;
    }
    return seekpos(pos_type(off), which);
  }

  pos_type seekpos(pos_type pos, std::ios_base::openmode which) override {
    const off_type target = pos;
    if ((which & std::ios_base::in) != std::ios_base::in || target < 0) {
      return pos_type(off_type(-1));
    }
    const off_type inBuffer = target - bufferStart_;
    if (inBuffer >= 0 && inBuffer <= egptr() - eback()) {
      setg(eback(), eback() + inBuffer, egptr());
    } else {
      bufferStart_ = position_ = target;
      setg(buffer_.get(), buffer_.get(), buffer_.get());
    }
    return pos;
  }

 private:
  // Header and a floppy's directory (up to 14 sectors) in one read. Left
  // uninitialised: the buffer is made for every image, and zeroing it cost
  // more than the read.
  static constexpr std::size_t kBufferBytes = std::size_t{4} * 1024;
  int fd_;
  std::unique_ptr<char[]> buffer_;
  off_t bufferStart_ = 0;  // file offset of eback()
  off_t position_ = 0;     // file offset just past the buffered data
};

}  // namespace

std::string currentDirectory() {
  std::vector<char> path(PATH_MAX);
  while (::getcwd(path.data(), path.size()) == nullptr) {
    if (errno != ERANGE) return {};
    path.resize(path.size() * 2);
  }
  return path.data();
}

bool changeDirectory(const std::string& path) {
  return !path.empty() && ::chdir(path.c_str()) == 0;
}

bool resolveArgument(const std::string& argument, ResolvedArgument& resolved) {
  if (argument.empty() || argument.back() == '/') return false;
  std::string path = argument;
  if (path.front() != '/') {
    const std::string cwd = currentDirectory();
    if (cwd.empty()) return false;
    path = cwd + "/" + path;
  }

  // Folded by the text alone, as the user wrote it: "." and ".." and
  // repeated separators, without asking the file system.
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    const std::string part = path.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  if (parts.empty()) return false;

  resolved.filePart = parts.back();
  parts.pop_back();
  resolved.folderText.clear();
  for (const std::string& part : parts) resolved.folderText += "/" + part;
  resolved.folderPath = resolved.folderText.empty() ? "/" : resolved.folderText;
  return true;
}

DirectorySearch::~DirectorySearch() {
  if (handle != nullptr) ::closedir(static_cast<DIR*>(handle));
}

bool DirectorySearch::first(const std::string& filePart, std::string& name) {
  pattern = filePart;
  handle = ::opendir(".");
  return handle != nullptr && next(name);
}

bool DirectorySearch::next(std::string& name) {
  if (handle == nullptr) return false;
  while (const dirent* entry = ::readdir(static_cast<DIR*>(handle))) {
    if (wildcardMatch(pattern, entry->d_name)) {
      name = entry->d_name;
      return true;
    }
  }
  return false;
}

std::unique_ptr<std::streambuf> openImage(const std::string& fileName) {
  // Non-blocking, so that a FIFO without a writer cannot stall the listing
  // before the type check below turns it away.
  const int fd = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info;
  if (::fstat(fd, &info) != 0 ||
      !(S_ISREG(info.st_mode) || S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode))) {
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<FdStreamBuf>(fd);
}

bool stdoutIsTerminal() {
  return ::isatty(STDOUT_FILENO) == 1;
}

}  // namespace tamrik::platform
