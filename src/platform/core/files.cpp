// Files, folders and byte streams; line reading and writing over any stream.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace {

// A buffered file stream (stdio). Written bytes may wait in the buffer until
// Flush or Close.
class FileStream final : public TStream {
 public:
  explicit FileStream(FILE* file) : file_(file) {}
  ~FileStream() override { Close(); }

  int Read(void* buffer, int n) override {
    if (!file_ || n <= 0) return 0;
    Switch(Mode::Reading);
    return static_cast<int>(std::fread(buffer, 1, static_cast<size_t>(n), file_));
  }
  int Write(const void* buffer, int n) override {
    if (!file_ || n <= 0) return 0;
    Switch(Mode::Writing);
    return static_cast<int>(std::fwrite(buffer, 1, static_cast<size_t>(n), file_));
  }
  // 1 once the position reaches the end of the file (at once when empty).
  int Eof() override {
    if (!file_) return 1;
    Switch(Mode::Reading);
    int c = std::getc(file_);
    if (c == EOF) {
      std::clearerr(file_);
      return 1;
    }
    std::ungetc(c, file_);
    return 0;
  }
  void Flush() override {
    if (file_) std::fflush(file_);
  }
  void Close() override {
    if (file_) {
      std::fclose(file_);
      file_ = nullptr;
    }
  }

 private:
  enum class Mode { None, Reading, Writing };
  // stdio needs a positioning call between reads and writes.
  void Switch(Mode mode) {
    if (mode_ != Mode::None && mode_ != mode) std::fseek(file_, 0, SEEK_CUR);
    mode_ = mode;
  }

  FILE* file_;
  Mode mode_ = Mode::None;
};

Stream OpenFile(const std::string& path, const char* mode) {
  if (path.empty()) return nullptr;
  FILE* file = std::fopen(path.c_str(), mode);
  if (!file) return nullptr;
  struct stat st {};
  if (fstat(fileno(file), &st) != 0 || S_ISDIR(st.st_mode)) {
    std::fclose(file);
    return nullptr;
  }
  return std::make_shared<FileStream>(file);
}

bool WriteAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace

Stream ReadFile(const std::string& path) { return OpenFile(path, "rb"); }
Stream WriteFile(const std::string& path) { return OpenFile(path, "wb"); }

std::string ReadLine(const Stream& stream) {
  std::string line;
  if (!stream) return line;
  unsigned char byte = 0;
  while (stream->Read(&byte, 1) == 1) {
    if (byte == '\n' || byte == 0) break;
    if (byte == '\r') continue;
    line += static_cast<char>(byte);
  }
  return line;
}

void WriteString(const Stream& stream, const std::string& text) {
  if (!stream || text.empty()) return;
  size_t done = 0;
  while (done < text.size()) {
    size_t chunk = text.size() - done;
    if (chunk > static_cast<size_t>(INT_MAX)) chunk = INT_MAX;
    int n = stream->Write(text.data() + done, static_cast<int>(chunk));
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

void WriteLine(const Stream& stream, const std::string& text) { WriteString(stream, text + "\r\n"); }

int ReadByte(const Stream& stream) {
  if (!stream) return -1;
  unsigned char byte = 0;
  return stream->Read(&byte, 1) == 1 ? byte : -1;
}

int Eof(const Stream& stream) { return stream ? stream->Eof() : 1; }

void FlushStream(const Stream& stream) {
  if (stream) stream->Flush();
}

void CloseFile(const Stream& stream) {
  if (stream) stream->Close();
}

void CloseStream(const Stream& stream) {
  if (stream) stream->Close();
}

int FileType(const std::string& path) {
  if (path.empty()) return 0;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return 0;
  if (S_ISDIR(st.st_mode)) return 2;
  if (S_ISREG(st.st_mode)) return 1;
  return 0;
}

int DeleteFile(const std::string& path) {
  if (FileType(path) != 1) return 0;
  return ::unlink(path.c_str()) == 0 ? 1 : 0;
}

int RenameFile(const std::string& from, const std::string& to) {
  if (from.empty() || to.empty()) return 0;
  return std::rename(from.c_str(), to.c_str()) == 0 ? 1 : 0;
}

int CreateDir(const std::string& path) {
  if (path.empty()) return 0;
  if (::mkdir(path.c_str(), 0777) == 0) return 1;
  return FileType(path) == 2 ? 1 : 0;
}

int ChangeDir(const std::string& path) {
  std::string target = path;
  while (target.size() > 1 && target.back() == '/') target.pop_back();
  if (target.empty()) return 0;
  return ::chdir(target.c_str()) == 0 ? 1 : 0;
}

std::string CurrentDir() {
  std::vector<char> buffer(4096);
  for (;;) {
    if (::getcwd(buffer.data(), buffer.size())) return std::string(buffer.data());
    if (errno != ERANGE || buffer.size() > (1u << 20)) return std::string();
    buffer.resize(buffer.size() * 2);
  }
}

std::string AppDir() {
  std::vector<char> buffer(4096);
  for (;;) {
    ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return CurrentDir();
    if (static_cast<size_t>(n) < buffer.size()) {
      return FolderOf(std::string(buffer.data(), static_cast<size_t>(n)));
    }
    if (buffer.size() > (1u << 20)) return CurrentDir();
    buffer.resize(buffer.size() * 2);
  }
}

namespace {

// The file a path finally names: symbolic links followed (a dangling link
// gives the file it would name). Answers the path itself when it is no link
// and "" when the links run in a circle or too deep.
std::string FollowLinks(const std::string& path) {
  std::string at = path;
  for (int depth = 0; depth < 40; ++depth) {
    struct stat st {};
    if (::lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return at;
    std::vector<char> buffer(PATH_MAX + 1);
    const ssize_t n = ::readlink(at.c_str(), buffer.data(), buffer.size() - 1);
    if (n < 0) return at;
    const std::string target(buffer.data(), static_cast<size_t>(n));
    at = !target.empty() && target[0] == '/' ? target : FolderOf(at) + "/" + target;
  }
  return "";
}

}  // namespace

int SaveLinesAtomic(const std::string& path, const std::vector<std::string>& lines, std::string* why) {
  auto fail = [why](const std::string& reason) {
    if (why) *why = reason;
    return 0;
  };
  if (path.empty()) return fail("no file name");
  // A link is written through: its target is replaced, the link stays.
  const std::string target = FollowLinks(path);
  if (target.empty()) return fail("too many levels of symbolic links");
  if (FileType(target) == 2) return fail("a folder has that name");
  std::string data;
  for (const std::string& line : lines) {
    data += line;
    data += "\r\n";
  }

  const std::string folder = FolderOf(target);
  std::string temp = target + ".tmp-XXXXXX";
  std::vector<char> name(temp.begin(), temp.end());
  name.push_back('\0');
  int fd = ::mkstemp(name.data());
  if (fd < 0) return fail(std::strerror(errno));
  temp.assign(name.data());

  // Keep the old file's permissions; a new file gets the usual 0666 less
  // the umask rather than mkstemp's 0600.
  mode_t mode = 0;
  struct stat st {};
  if (::stat(target.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }

  int error = 0;
  auto step = [&error](bool ok) {
    if (!ok && error == 0) error = errno ? errno : EIO;
    return ok;
  };
  errno = 0;
  bool ok = step(::fchmod(fd, mode) == 0) && step(WriteAll(fd, data)) && step(::fsync(fd) == 0);
  ok = step(::close(fd) == 0) && ok;
  if (ok) ok = step(std::rename(temp.c_str(), target.c_str()) == 0);
  if (!ok) {
    ::unlink(temp.c_str());
    return fail(std::strerror(error));
  }
  // Make the rename itself durable.
  int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return 1;
}

bool LoadLines(const std::string& path, std::vector<std::string>& lines) {
  Stream stream = ReadFile(path);
  if (!stream) return false;
  lines.clear();
  while (!stream->Eof()) lines.push_back(ReadLine(stream));
  stream->Close();
  return true;
}
