// The opener of the program's data files: only a regular file is read. A
// named pipe, a folder or a device in its place is refused with what it is,
// and a pipe is never opened (a reader of it would wait for a writer for
// ever); a missing file and a file this user may not read say so.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <tuple>

#include "platform/data_file.h"
#include "platform/inifile.h"
#include "tests/support/pipe_in_place.h"
#include "tests/support/test_support.h"

using testing_support::TempDir;

TEST(DataFile, OnlyARegularFileIsRead) {
  TempDir dir;
  testing_support::WriteText(dir.File("table.dat"), "abc");
  std::string why = "unchanged";
  const auto bytes = platform::ReadDataFileBytes(dir.File("table.dat"), &why);
  ASSERT_TRUE(bytes);
  EXPECT_EQ(std::string(bytes->begin(), bytes->end()), "abc");

  // What is not there.
  EXPECT_EQ(platform::OpenDataFile(dir.File("none.dat"), &why), nullptr);
  EXPECT_EQ(std::tuple(errno, why), std::tuple(ENOENT, std::string("No such file or directory")));

  // A folder and a device.
  std::filesystem::create_directory(dir.File("folder.dat"));
  EXPECT_FALSE(platform::ReadDataFileBytes(dir.File("folder.dat"), &why));
  EXPECT_EQ(std::tuple(errno, why), std::tuple(EINVAL, std::string("it is a folder, not a file")));
  EXPECT_EQ(platform::OpenDataFile("/dev/zero", &why), nullptr);
  EXPECT_EQ(std::tuple(errno, why), std::tuple(EINVAL, std::string("it is a character device, not a file")));
}

// A pipe nobody writes to: refused at once by every way in, and never
// opened for reading.
TEST(DataFile, APipeIsRefusedUnopened) {
  TempDir dir;
  PipeInPlace pipe(dir.File("default.ast"));
  std::string why;
  EXPECT_EQ(platform::OpenDataFile(dir.File("default.ast"), &why), nullptr);
  EXPECT_EQ(std::tuple(errno, why), std::tuple(EINVAL, std::string("it is a named pipe, not a file")));
  EXPECT_FALSE(platform::ReadDataFileBytes(dir.File("default.ast")));
  EXPECT_EQ(platform::DataFileRefusal(dir.File("default.ast")), "it is a named pipe, not a file");
  // A column template in a pipe reads as no template.
  PipeInPlace ini(dir.File("mpc.ast.template"));
  EXPECT_FALSE(platform::TIniFile(dir.File("mpc.ast.template")).Loaded());
  EXPECT_FALSE(pipe.Opened());
  EXPECT_FALSE(ini.Opened());
}

// The watch itself finds a reader: a check that could never fail would
// prove nothing above.
TEST(DataFile, ThePipeWatchSeesAReader) {
  TempDir dir;
  PipeInPlace pipe(dir.File("p"));
  std::FILE* reader = std::fopen(dir.File("p").c_str(), "rb");  // waits for the watch's writer
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(std::fgetc(reader), EOF);
  std::fclose(reader);
  EXPECT_TRUE(pipe.Opened());
}

// A file this user may not read says so. Root reads any file: the check is
// then left out.
TEST(DataFile, AForbiddenFileSaysSo) {
  if (::geteuid() == 0) GTEST_SKIP() << "root may read a file of mode 000";
  TempDir dir;
  testing_support::WriteText(dir.File("locked.dat"), "abc");
  ::chmod(dir.File("locked.dat").c_str(), 0);
  std::string why;
  EXPECT_FALSE(platform::ReadDataFileBytes(dir.File("locked.dat"), &why));
  EXPECT_EQ(std::tuple(errno, why), std::tuple(EACCES, std::string("Permission denied")));
}

// A reader with a limit takes a file of its size and refuses a larger one.
TEST(DataFile, AFileLargerThanItsReaderTakesIsRefused) {
  TempDir dir;
  testing_support::WriteText(dir.File("ten.txt"), "0123456789");
  std::string why;
  EXPECT_TRUE(platform::ReadDataFileBytesUpTo(dir.File("ten.txt"), 10, &why));
  EXPECT_FALSE(platform::ReadDataFileBytesUpTo(dir.File("ten.txt"), 9, &why));
  EXPECT_EQ(std::tuple(errno, why), std::tuple(EFBIG, std::string("it is larger than 9 bytes")));
}

// Writing: a regular file is emptied or appended to; a pipe, a folder or a
// device in the place is refused, the pipe unopened.
TEST(DataFile, OnlyARegularFileIsWritten) {
  TempDir dir;
  testing_support::WriteText(dir.File("log.txt"), "old\n");
  for (const bool append : {true, false}) {
    std::FILE* f = platform::OpenDataFileToWrite(dir.File("log.txt"), append);
    ASSERT_NE(f, nullptr);
    std::fputs("new\n", f);
    std::fclose(f);
    EXPECT_EQ(testing_support::ReadText(dir.File("log.txt")), append ? "old\nnew\n" : "new\n");
  }
  PipeWatchedForWriters pipe(dir.File("pipe"));
  std::filesystem::create_directory(dir.File("folder"));
  for (const std::string& path : {dir.File("pipe"), dir.File("folder"), std::string("/dev/null")}) {
    std::string why;
    EXPECT_EQ(platform::OpenDataFileToWrite(path, false, &why), nullptr) << path;
    EXPECT_EQ(errno, EINVAL) << why;
  }
  EXPECT_FALSE(pipe.Written());
  // The watch itself sees a writer.
  std::fclose(std::fopen(dir.File("pipe").c_str(), "wb"));
  EXPECT_TRUE(pipe.Written());
}
