// Files, folders and byte streams; line reading and writing over any stream.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <utility>
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
    errno = 0;
    const size_t done = std::fwrite(buffer, 1, static_cast<size_t>(n), file_);
    if (done < static_cast<size_t>(n)) Note(errno);
    return static_cast<int>(done);
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
    errno = 0;
    if (file_ && std::fflush(file_) != 0) Note(errno);
  }
  int WriteError() const override { return error_; }
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

  void Note(int error) {
    if (error_ == 0) error_ = error ? error : EIO;
  }

  FILE* file_;
  Mode mode_ = Mode::None;
  int error_ = 0;
};

}  // namespace

// Opens a regular file only: a device, a FIFO or a socket is neither
// opened nor touched (errno ENODEV for them, EISDIR for a folder), and no
// open can block. Writing creates the file or empties it.
FILE* OpenRegularFile(const std::string& path, bool write) {
  if (path.empty()) return nullptr;
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    errno = S_ISDIR(st.st_mode) ? EISDIR : ENODEV;
    return nullptr;
  }
  const int flags = (write ? O_WRONLY | O_CREAT : O_RDONLY) | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
  const int fd = ::open(path.c_str(), flags, 0666);
  if (fd < 0) return nullptr;
  // What was opened may not be what was looked at a moment before.
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    errno = S_ISDIR(st.st_mode) ? EISDIR : ENODEV;
    return nullptr;
  }
  if ((write && ::ftruncate(fd, 0) != 0) || ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    const int error = errno;
    ::close(fd);
    errno = error;
    return nullptr;
  }
  FILE* file = ::fdopen(fd, write ? "wb" : "rb");
  if (!file) {
    const int error = errno;
    ::close(fd);
    errno = error;
    return nullptr;
  }
  return file;
}

namespace {

Stream OpenFile(const std::string& path, bool write) {
  FILE* file = OpenRegularFile(path, write);
  if (!file) return nullptr;
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

Stream ReadFile(const std::string& path) { return OpenFile(path, false); }
Stream WriteFile(const std::string& path) { return OpenFile(path, true); }

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

int FlushedWriteError(const Stream& stream) {
  if (!stream) return 0;
  stream->Flush();
  return stream->WriteError();
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

bool IsSpecialFile(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
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

namespace {

// The folder locks this process holds, by the folder's device and inode:
// a lock taken again while held only counts up (a second flock of ours on
// the same folder would wait for ourselves).
struct HeldLock {
  std::vector<int> fds;
  int count = 0;
};
using FolderKey = std::pair<unsigned long, unsigned long>;
std::map<FolderKey, HeldLock>& HeldLocks() {
  static std::map<FolderKey, HeldLock> held;
  return held;
}

// The lock file of a folder that not every player may list (a lock on the
// folder itself needs read permission on it): it is never renamed or
// removed, so a flock on it is a lock of the folder for every player.
const char kLockFileName[] = ".pibbo-save.lock";

enum class Locked { Got, None, WaitedOut };

// Takes the lock of one folder, waiting until `end` at the most.
Locked LockFolder(const std::string& folder, std::chrono::steady_clock::time_point end, FolderKey& key) {
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return Locked::None;
  key = {static_cast<unsigned long>(st.st_dev), static_cast<unsigned long>(st.st_ino)};
  auto& held = HeldLocks();
  if (auto it = held.find(key); it != held.end()) {
    ++it->second.count;
    return Locked::Got;
  }
  std::vector<int> fds;
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) fds.push_back(dir);
  // A folder that players may write in but not list (mode 0733, say): the
  // lock file too, which every copy there takes, whether or not it may
  // open the folder.
  const mode_t m = st.st_mode;
  const bool unlisted = ((m & 0030) == 0030 && !(m & 0040)) || ((m & 0003) == 0003 && !(m & 0004));
  if (dir < 0 || unlisted) {
    const std::string path = folder + "/" + kLockFileName;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
    struct stat lf {};
    if (fd >= 0 && ::fstat(fd, &lf) == 0 && S_ISREG(lf.st_mode)) {
      fds.push_back(fd);
    } else if (fd >= 0) {
      ::close(fd);
    }
  }
  if (fds.empty()) return Locked::None;
  for (size_t i = 0; i < fds.size();) {
    if (::flock(fds[i], LOCK_EX | LOCK_NB) == 0) {
      ++i;
      continue;
    }
    const bool busy = errno == EWOULDBLOCK || errno == EINTR;
    if (!busy || std::chrono::steady_clock::now() >= end) {
      for (int fd : fds) ::close(fd);
      return busy ? Locked::WaitedOut : Locked::None;
    }
    const timespec pause{0, 5 * 1000 * 1000};
    ::nanosleep(&pause, nullptr);
  }
  held[key] = HeldLock{fds, 1};
  return Locked::Got;
}

void UnlockFolder(const FolderKey& key) {
  auto& held = HeldLocks();
  auto it = held.find(key);
  if (it == held.end() || --it->second.count > 0) return;
  for (int fd : it->second.fds) ::close(fd);  // lets the lock go
  held.erase(it);
}

}  // namespace

SaveLock::SaveLock(const std::string& file, int waitMs) : SaveLock(std::vector<std::string>{file}, waitMs) {}

SaveLock::SaveLock(const std::vector<std::string>& files, int waitMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  for (const std::string& file : files) {
    if (file.empty()) continue;
    const std::string target = FollowLinks(file);
    FolderKey key{};
    switch (LockFolder(FolderOf(target.empty() ? file : target), end, key)) {
      case Locked::Got:
        keys_.push_back(key);
        break;
      case Locked::None:
        break;
      case Locked::WaitedOut:
        // Not all of them: none is kept, so that the other copy's save is
        // not held up by ours.
        for (const FolderKey& got : keys_) UnlockFolder(got);
        keys_.clear();
        waitedOut_ = true;
        return;
    }
  }
}

SaveLock::~SaveLock() {
  for (const FolderKey& key : keys_) UnlockFolder(key);
}

bool SaveLock::HeldBySomeoneElse(const std::string& file) {
  SaveLock probe(file, 0);
  return probe.WaitedOut();
}

namespace {

// Makes a folder and the folders above it (0700: the player's own). 0 on
// success, else the errno of the step that failed.
int MakeFolders(const std::string& folder) {
  if (folder.empty() || FileType(folder) == 2) return 0;
  const std::string parent = FolderOf(folder);
  if (parent != folder && parent != "." && parent != "/") {
    if (int error = MakeFolders(parent)) return error;
  }
  if (::mkdir(folder.c_str(), 0700) == 0 || (errno == EEXIST && FileType(folder) == 2)) return 0;
  return errno ? errno : EIO;
}

// The errno of a step that just failed (`fallback` when it set none),
// after closing `fd`.
int ErrnoOr(int fallback, int fd) {
  const int error = errno ? errno : fallback;
  ::close(fd);
  return error;
}

// Writes `data` to `fd`, flushes it to the disk and closes `fd` (always).
// 0, or the errno of the first step that failed.
int WriteSyncClose(int fd, const std::string& data) {
  if (!WriteAll(fd, data) || ::fsync(fd) != 0) return ErrnoOr(EIO, fd);
  return ::close(fd) == 0 ? 0 : (errno ? errno : EIO);
}

const char kKeptGoing[] =
    "another copy of the game was saving there and kept at it past 3 s, so it is left to that copy";
const char kNotRegular[] = "it is not a regular file (a device, a FIFO or a socket), so it is left as it is";

enum class ByRename { Saved, Failed, NotKept, TempGone };

// The save through a temporary file beside `target`, renamed over it. An
// existing file keeps its mode and group (and its owner where we may set
// it). NotKept, with nothing changed, when no temporary file can be made
// there or its group could not be set, so the rename would change the file.
ByRename SaveByRename(const std::string& target, const std::string& data, const struct stat* old,
                      bool keepGroup, int& error) {
  std::string temp = target + ".tmp-XXXXXX";
  std::vector<char> name(temp.begin(), temp.end());
  name.push_back('\0');
  int fd = ::mkstemp(name.data());
  if (fd < 0) {
    error = errno ? errno : EIO;
    return ByRename::NotKept;
  }
  temp.assign(name.data());

  // A new file gets the usual 0666 less the umask rather than mkstemp's 0600.
  mode_t mode = 0;
  if (old) {
    mode = old->st_mode & 07777;
    // The owner where we may set it (root), else at least the group.
    if (::fchown(fd, old->st_uid, old->st_gid) != 0 && ::fchown(fd, static_cast<uid_t>(-1), old->st_gid) != 0 &&
        keepGroup) {
      error = errno ? errno : EPERM;
      ::close(fd);
      ::unlink(temp.c_str());
      return ByRename::NotKept;
    }
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }

  errno = 0;
  error = ::fchmod(fd, mode) == 0 ? WriteSyncClose(fd, data) : ErrnoOr(EIO, fd);
  if (error == 0 && std::rename(temp.c_str(), target.c_str()) != 0) {
    error = errno ? errno : EIO;
    // Our temporary file went before it could take the file's place.
    struct stat gone {};
    if (error == ENOENT && ::lstat(temp.c_str(), &gone) != 0 && ::stat(FolderOf(target).c_str(), &gone) == 0) {
      return ByRename::TempGone;
    }
  }
  if (error != 0) {
    ::unlink(temp.c_str());
    return ByRename::Failed;
  }
  // Make the rename itself durable.
  int dir = ::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return ByRename::Saved;
}

// Rewrites an existing file in place: cut to nothing, written, flushed to
// the disk. 0, or the errno of the step that failed.
int SaveInPlace(const std::string& target, const std::string& data) {
  int fd = ::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return errno ? errno : EIO;
  struct stat st {};
  errno = 0;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return ErrnoOr(ENODEV, fd);
  if (::ftruncate(fd, 0) != 0 || ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) return ErrnoOr(EIO, fd);
  return WriteSyncClose(fd, data);
}

}  // namespace

int SaveLinesAtomic(const std::string& path, const std::vector<std::string>& lines, std::string* why,
                    const std::string& safeCopy, int* inPlace) {
  auto fail = [why](const std::string& reason) {
    if (why) *why = reason;
    return 0;
  };
  if (inPlace) *inPlace = 0;
  if (path.empty()) return fail("no file name");
  // A link is written through: its target is replaced, the link stays.
  const std::string target = FollowLinks(path);
  if (target.empty()) return fail("too many levels of symbolic links");
  // Another save of the same folder (another copy of the game) finishes
  // first; one that goes on past the wait is not replaced under it.
  SaveLock lock(target);
  if (lock.WaitedOut()) return fail(kKeptGoing);
  // Only a regular file is ever replaced or written: a device, a FIFO or
  // a socket is left as it is, and so is a file that cannot be read.
  struct stat old {};
  const bool exists = ::stat(target.c_str(), &old) == 0;
  if (exists && S_ISDIR(old.st_mode)) return fail("a folder has that name");
  if (exists && !S_ISREG(old.st_mode)) return fail(kNotRegular);
  if (exists) {
    const int fd = ::open(target.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return fail(std::string("it could not be read (") + std::strerror(errno) + "), so it is left as it was");
    ::close(fd);
  }
  std::string data;
  for (const std::string& line : lines) {
    data += line;
    data += "\r\n";
  }

  // A file we may write keeps its group however it is saved; one we may
  // not write (in a folder of ours) is replaced as well as we can.
  const bool writable = exists && ::access(target.c_str(), W_OK) == 0;
  int error = 0;
  switch (SaveByRename(target, data, exists ? &old : nullptr, writable, error)) {
    case ByRename::Saved:
      return 1;
    case ByRename::Failed:
      return fail(std::strerror(error));
    case ByRename::TempGone:
      return fail("its new content, written whole beside it, was removed by someone else before it could take its "
                  "place, so it is left as it was");
    case ByRename::NotKept:
      break;
  }
  // No rename: in place, when the file may be written and the new content
  // can first be kept whole elsewhere. A kill from here on leaves the copy
  // whole and the file either as it was or a first part of the new content.
  const std::string noRename = std::strerror(error);
  if (!writable) return fail(noRename);
  if (safeCopy.empty()) return fail("its folder takes no new file (" + noRename + "), and there is no place for a copy");
  std::string copyWhy;
  if (int made = MakeFolders(FolderOf(safeCopy))) {
    copyWhy = std::strerror(made);
  } else if (!SaveLinesAtomic(safeCopy, lines, &copyWhy)) {
    copyWhy = copyWhy.empty() ? "it could not be written" : copyWhy;
  } else {
    copyWhy.clear();
  }
  if (!copyWhy.empty()) {
    return fail("its folder takes no new file (" + noRename + "), and no copy to write it in place could be kept (" +
                copyWhy + ")");
  }
  if (inPlace) *inPlace = 1;
  if (int failed = SaveInPlace(target, data)) {
    // The copy holds the new content whole: it stays for the next start.
    return fail(std::strerror(failed));
  }
  ::unlink(safeCopy.c_str());
  return 1;
}

std::pair<unsigned long, unsigned long> FileIdentity(const std::string& path) {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return {0, 0};
  return {static_cast<unsigned long>(st.st_dev), static_cast<unsigned long>(st.st_ino)};
}

bool NameTaken(const std::string& path) {
  struct stat st {};
  return !path.empty() && (::lstat(path.c_str(), &st) == 0 || errno != ENOENT);
}

int LinkNewFile(const std::string& temp, const std::string& path) {
  if (::link(temp.c_str(), path.c_str()) == 0) return 0;
  const int error = errno ? errno : EIO;
  if (error != EPERM && error != ENOTSUP && error != EOPNOTSUPP && error != ENOSYS) return error;
  // A file system without hard links: the name is taken exclusively, and
  // the whole content moved over it.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return errno ? errno : EIO;
  ::close(fd);
  return std::rename(temp.c_str(), path.c_str()) == 0 ? 0 : (errno ? errno : EIO);
}

int SaveLinesNew(const std::string& path, const std::vector<std::string>& lines, std::string* why, bool* taken) {
  std::string data;
  for (const std::string& line : lines) data += line + "\r\n";
  return SaveBytesNew(path, data, why, taken);
}

int SaveBytesNew(const std::string& path, const std::string& data, std::string* why, bool* taken) {
  auto fail = [why](int error) {
    if (why) *why = std::strerror(error);
    return 0;
  };
  if (taken) *taken = false;
  if (NameTaken(path)) {
    if (taken) *taken = true;
    return fail(EEXIST);
  }
  std::vector<char> name(path.begin(), path.end());
  for (char c : std::string(".tmp-XXXXXX")) name.push_back(c);
  name.push_back('\0');
  const int fd = ::mkstemp(name.data());
  if (fd < 0) return fail(errno ? errno : EIO);
  const std::string temp(name.data());
  const mode_t mask = ::umask(0);
  ::umask(mask);
  errno = 0;
  int error = ::fchmod(fd, 0666 & ~mask) == 0 ? WriteSyncClose(fd, data) : ErrnoOr(EIO, fd);
  if (error == 0) error = LinkNewFile(temp, path);
  ::unlink(temp.c_str());
  if (error != 0) {
    if (taken && error == EEXIST) *taken = true;
    return fail(error);
  }
  const int dir = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return 1;
}

int MakeFolderPath(const std::string& folder, std::string* why) {
  if (int error = MakeFolders(folder)) {
    if (why) *why = std::strerror(error);
    return 0;
  }
  return 1;
}

bool IsFirstPartOf(const std::string& path, const std::string& whole) {
  Stream a = ReadFile(path), b = ReadFile(whole);
  if (!a || !b) return false;
  char x[4096], y[4096];
  for (;;) {
    const int n = a->Read(x, sizeof x);
    if (n <= 0) return true;
    if (b->Read(y, n) != n || std::memcmp(x, y, static_cast<size_t>(n)) != 0) return false;
  }
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
  Stream stream = ReadFile(path);
  if (!stream) return false;
  bytes.clear();
  char buffer[65536];
  for (int n; (n = stream->Read(buffer, sizeof buffer)) > 0;) bytes.append(buffer, static_cast<size_t>(n));
  stream->Close();
  return true;
}

bool LoadLines(const std::string& path, std::vector<std::string>& lines) {
  Stream stream = ReadFile(path);
  if (!stream) return false;
  lines.clear();
  while (!stream->Eof()) lines.push_back(ReadLine(stream));
  stream->Close();
  return true;
}
