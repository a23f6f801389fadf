#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {

class CoreFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = testsupport::MakeTempDir("core");
    ASSERT_FALSE(dir_.empty());
    oldCwd_ = fs::current_path();
  }
  void TearDown() override {
    fs::current_path(oldCwd_);
    std::error_code ec;
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(dir_, ec);
  }
  std::string Path(const std::string& name) const { return (fs::path(dir_) / name).string(); }
  void Put(const std::string& name, const std::string& bytes) const {
    std::ofstream(Path(name), std::ios::binary) << bytes;
  }
  std::string Get(const std::string& name) const {
    std::ifstream in(Path(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::vector<std::string> Lines(const std::string& name) const {
    std::vector<std::string> lines;
    EXPECT_TRUE(LoadLines(Path(name), lines));
    return lines;
  }

  std::string dir_;
  fs::path oldCwd_;
};

TEST_F(CoreFiles, ReadLineOnLineEndings) {
  using V = std::vector<std::string>;
  Put("crlf", "one\r\ntwo\r\n\r\nlast\r\n");
  EXPECT_EQ(Lines("crlf"), (V{"one", "two", "", "last"}));
  Put("lf", "one\ntwo");  // no end on the last line
  EXPECT_EQ(Lines("lf"), (V{"one", "two"}));
  Put("nul", std::string("a\0b\0", 4));
  EXPECT_EQ(Lines("nul"), (V{"a", "b"}));
  Put("mixed", "a\rb\r\n\xE9\xFF\n");  // lone CR dropped; high bytes kept
  EXPECT_EQ(Lines("mixed"), (V{"ab", "\xE9\xFF"}));
  Put("empty", "");
  EXPECT_EQ(Lines("empty"), V{});

  Stream s = ReadFile(Path("empty"));
  ASSERT_TRUE(s);
  EXPECT_EQ(Eof(s), 1);  // at once for an empty file
  EXPECT_EQ(ReadLine(s), "");
  EXPECT_EQ(ReadByte(s), -1);
  CloseFile(s);
  CloseFile(s);  // a second close does nothing

  std::vector<std::string> lines{"kept"};
  EXPECT_FALSE(LoadLines(Path("missing"), lines));
}

TEST_F(CoreFiles, WriteThenReadBack) {
  Stream out = WriteFile(Path("w.txt"));
  ASSERT_TRUE(out);
  WriteLine(out, "[Graphics]");
  WriteLine(out, "");
  WriteString(out, "x\xE9");
  CloseFile(out);
  EXPECT_EQ(Get("w.txt"), "[Graphics]\r\n\r\nx\xE9");

  Stream in = ReadFile(Path("w.txt"));
  EXPECT_EQ(ReadLine(in), "[Graphics]");
  EXPECT_EQ(Eof(in), 0);
  EXPECT_EQ(ReadLine(in), "");
  EXPECT_EQ(ReadByte(in), 'x');
  EXPECT_EQ(ReadByte(in), 0xE9);
  EXPECT_EQ(Eof(in), 1);
  CloseStream(in);

  // WriteFile cuts an existing file.
  CloseFile(WriteFile(Path("w.txt")));
  EXPECT_EQ(Get("w.txt"), "");

  // Failures give null streams, and null streams are harmless.
  EXPECT_FALSE(ReadFile(Path("missing")));
  EXPECT_FALSE(ReadFile(dir_));
  EXPECT_FALSE(WriteFile(Path("no/such/folder/f")));
  Stream none;
  WriteLine(none, "x");
  EXPECT_EQ(ReadLine(none), "");
  EXPECT_EQ(ReadByte(none), -1);
  EXPECT_EQ(Eof(none), 1);
  CloseFile(none);
}

TEST_F(CoreFiles, FoldersAndTypes) {
  EXPECT_EQ(FileType(Path("nothing")), 0);
  EXPECT_EQ(FileType(dir_), 2);
  Put("f", "x");
  EXPECT_EQ(FileType(Path("f")), 1);
  EXPECT_EQ(FileType(""), 0);

  EXPECT_EQ(CreateDir(Path("sub")), 1);
  EXPECT_EQ(CreateDir(Path("sub")), 1);  // already there
  EXPECT_EQ(CreateDir(Path("f")), 0);    // a file is in the way
  EXPECT_EQ(RenameFile(Path("f"), Path("sub/g")), 1);
  EXPECT_EQ(FileType(Path("sub/g")), 1);
  EXPECT_EQ(RenameFile(Path("f"), Path("h")), 0);
  EXPECT_EQ(DeleteFile(Path("sub")), 0);  // not a file
  EXPECT_EQ(DeleteFile(Path("sub/g")), 1);
  EXPECT_EQ(DeleteFile(Path("sub/g")), 0);

  ASSERT_EQ(ChangeDir(dir_ + "/sub/"), 1);  // trailing "/" ignored
  const std::string here = CurrentDir();
  EXPECT_EQ(fs::path(here), fs::canonical(Path("sub")));
  EXPECT_EQ(ChangeDir("does-not-exist/"), 0);
  EXPECT_EQ(CurrentDir(), here);  // unchanged after a failure
  EXPECT_EQ(ChangeDir(""), 0);
  EXPECT_EQ(ChangeDir("../"), 1);
  EXPECT_EQ(fs::path(CurrentDir()), fs::canonical(dir_));

  // The test program lives in the build tree.
  EXPECT_EQ(FileType(AppDir()), 2);
  EXPECT_EQ(fs::path(AppDir()), fs::canonical("/proc/self/exe").parent_path());
}

TEST_F(CoreFiles, AtomicSaveReplacesWhole) {
  const std::string path = Path("nuscores.dat");
  ASSERT_EQ(SaveLinesAtomic(path, {"first", "", "\xE9nd"}), 1);
  EXPECT_EQ(Get("nuscores.dat"), "first\r\n\r\n\xE9nd\r\n");
  chmod(path.c_str(), 0640);
  ASSERT_EQ(SaveLinesAtomic(path, {"second"}), 1);
  EXPECT_EQ(Get("nuscores.dat"), "second\r\n");
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);  // permissions survive the replace
  ASSERT_EQ(SaveLinesAtomic(path, {}), 1);
  EXPECT_EQ(Get("nuscores.dat"), "");
  // Nothing else is left in the folder.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(CoreFiles, AtomicSaveFailureKeepsOldFile) {
  const std::string path = Path("Setup.ini");
  ASSERT_EQ(SaveLinesAtomic(path, {"old"}), 1);
  EXPECT_EQ(SaveLinesAtomic(Path("missing/Setup.ini"), {"x"}), 0);
  EXPECT_EQ(SaveLinesAtomic(dir_, {"x"}), 0);  // a folder is no file
  EXPECT_EQ(SaveLinesAtomic("", {"x"}), 0);

  if (geteuid() != 0) {  // root writes into read-only folders anyway
    ASSERT_EQ(chmod(dir_.c_str(), 0555), 0);
    EXPECT_EQ(SaveLinesAtomic(path, {"new"}), 0);
    chmod(dir_.c_str(), 0755);
    EXPECT_EQ(Get("Setup.ini"), "old\r\n");
  }
  Put("plain", "x");  // the folder is a file
  EXPECT_EQ(SaveLinesAtomic(Path("plain/Setup.ini"), {"x"}), 0);

  // A write that fails half-way (file size limit; works for root too).
  struct rlimit saved {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto oldHandler = signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 16;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const int result = SaveLinesAtomic(path, {std::string(100, 'n'), "more"});
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(Get("Setup.ini"), "old\r\n");
  for (const auto& entry : fs::directory_iterator(dir_)) {
    EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
  }
}

// A file the player may write in a folder the player may not: written in
// place once its new content is kept whole elsewhere, the copy removed
// after; without a place for that copy the file is left as it was. (As
// root the step runs as the user nobody.)
TEST_F(CoreFiles, AFileInAFolderThatTakesNoNewFileIsWrittenInPlaceBehindACopy) {
  struct Case {
    const char* what;
    fs::perms copyFolder;
    int saved;
  };
  const Case cases[] = {{"copy kept", fs::perms::all, 1},
                        {"no room for the copy", fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::permissions(dir_, fs::perms::all);
    fs::remove_all(Path("data"));
    fs::create_directory(Path("data"));
    fs::permissions(Path("data"), c.copyFolder);
    Put("Setup.ini", "old\r\n");
    ASSERT_EQ(chmod(Path("Setup.ini").c_str(), 0666), 0);
    fs::permissions(dir_, fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    const std::string copy = Path("data/kept/Setup.ini");
    const auto played = testsupport::AsPlayer([&] {
      if (access(dir_.c_str(), W_OK) == 0) _exit(78);
      std::string why;
      int inPlace = 0;
      const int saved = SaveLinesAtomic(Path("Setup.ini"), {"new", "lines"}, &why, copy, &inPlace);
      return std::to_string(saved) + std::to_string(inPlace) + " " + why;
    });
    if (played.status == 77) GTEST_SKIP() << "cannot become the user nobody";
    if (played.status == 78) GTEST_SKIP() << "the read-only folder stays writable for this user";
    ASSERT_EQ(played.status, 0);
    EXPECT_EQ(played.said.substr(0, 2), c.saved ? "11" : "00") << played.said;
    EXPECT_EQ(Get("Setup.ini"), c.saved ? "new\r\nlines\r\n" : "old\r\n");
    EXPECT_FALSE(fs::exists(copy));
    if (!c.saved) {
      EXPECT_NE(played.said.find(
                    "its folder takes no new file (Permission denied), and no copy to write it in place could be "
                    "kept (Permission denied)"),
                std::string::npos)
          << played.said;
    }
    struct stat st {};
    ASSERT_EQ(stat(Path("Setup.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0666u);
    EXPECT_EQ(st.st_uid, geteuid());
  }
}

// A first part of a file, none of it included, is told from a file that
// differs or is longer.
TEST_F(CoreFiles, FirstPartOfAFile) {
  Put("whole", "abcdef");
  struct Case {
    const char* bytes;
    bool first;
  };
  for (const Case& c : {Case{"", true}, Case{"abc", true}, Case{"abcdef", true}, Case{"abd", false},
                        Case{"abcdefg", false}}) {
    Put("part", c.bytes);
    EXPECT_EQ(IsFirstPartOf(Path("part"), Path("whole")), c.first) << c.bytes;
  }
  EXPECT_FALSE(IsFirstPartOf(Path("missing"), Path("whole")));
}

}  // namespace
