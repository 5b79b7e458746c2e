#include "base/platform.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

#include "base/files_test_support.h"

namespace {

class TempFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(tmp_.path().empty());
    dir_ = tmp_.path();
  }
  TempDir tmp_{"zu_platform"};
  std::string dir_;
  std::set<std::string> created_;  // every temporary file made so far, to see they are unique
};

}  // namespace

TEST(Platform, ExecutableDirectoryHoldsThisTest) {
  const std::string dir = executableDirectory();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), '/');
  EXPECT_TRUE(fileExists(dir + "base_platform_test"));
}

TEST(Platform, CurrentDirectoryHasNoTrailingSlash) {
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  EXPECT_EQ(currentDirectory(), cwd);
}

TEST(Platform, FreeDiskSpaceOfRealAndMissingFolders) {
  EXPECT_TRUE(freeDiskSpace("/tmp").has_value());
  EXPECT_FALSE(freeDiskSpace("/no/such/folder/at/all").has_value());
}

TEST(Platform, FreeDiskSpaceSeamOverridesTheSystem) {
  setFreeDiskSpaceForTesting(12345);
  EXPECT_EQ(freeDiskSpace("/tmp"), std::optional<std::uint64_t>(12345));
  EXPECT_EQ(freeDiskSpace("/no/such/folder"), std::optional<std::uint64_t>(12345));
  setFreeDiskSpaceForTesting(std::nullopt);
  EXPECT_FALSE(freeDiskSpace("/no/such/folder").has_value());
}

TEST(Platform, AvailableMemorySeamOverridesTheSystem) {
  EXPECT_GT(availablePhysicalMemory(), 0u);
  setAvailableMemoryForTesting(0);
  EXPECT_EQ(availablePhysicalMemory(), 0u);
  setAvailableMemoryForTesting(std::uint64_t{1} << 40);
  EXPECT_EQ(availablePhysicalMemory(), std::uint64_t{1} << 40);
  setAvailableMemoryForTesting(std::nullopt);
  EXPECT_LT(availablePhysicalMemory(), std::uint64_t{1} << 40);
}

TEST(Platform, LocalTimeSeamOverridesTheClock) {
  const LocalTime now = localTimeNow();
  EXPECT_GE(now.year, 2020);
  EXPECT_GE(now.month, 1);
  EXPECT_LE(now.month, 12);
  setLocalTimeForTesting(LocalTime{2009, 2, 3, 4, 5, 6});
  const LocalTime fixed = localTimeNow();
  EXPECT_EQ(fixed.year, 2009);
  EXPECT_EQ(fixed.second, 6);
  setLocalTimeForTesting(std::nullopt);
  EXPECT_GE(localTimeNow().year, 2020);
}

TEST_F(TempFolder, TempFilesAreUniqueEmptyAndEndInTmp) {
  for (const std::string& dir : {dir_, dir_ + "/"}) {
    for (int i = 0; i < 20; ++i) {
      const std::string path = createUniqueTempFile(dir);
      ASSERT_FALSE(path.empty());
      EXPECT_EQ(path.rfind(dir_ + "/", 0), 0u) << path;
      EXPECT_EQ(extensionOf(path), ".tmp");
      EXPECT_EQ(path.find("//"), std::string::npos) << path;
      struct stat st {};
      ASSERT_EQ(stat(path.c_str(), &st), 0);
      EXPECT_EQ(st.st_size, 0);
      EXPECT_TRUE(created_.insert(path).second) << "duplicate " << path;
    }
  }
}

TEST_F(TempFolder, TempFileInMissingFolderFails) {
  EXPECT_EQ(createUniqueTempFile(dir_ + "/missing"), "");
}

TEST_F(TempFolder, FileExistsIsFalseForFoldersAndMissingFiles) {
  const std::string path = createUniqueTempFile(dir_);
  EXPECT_TRUE(fileExists(path));
  EXPECT_FALSE(fileExists(dir_));
  EXPECT_FALSE(fileExists(dir_ + "/missing"));
}

TEST_F(TempFolder, ReadFileBytesTakesTheWholeFileWithinItsLimit) {
  const std::string path = dir_ + "/bytes.bin";
  std::string content(70000, 'x');
  content[5] = '\0';
  content +=
      "\r\n\x1A"
      "end";
  writeFile(path, content);

  std::string bytes;
  EXPECT_TRUE(readFileBytes(path, bytes));
  EXPECT_EQ(bytes, content);
  EXPECT_TRUE(readFileBytes(path, bytes, content.size()));
  EXPECT_EQ(bytes, content);
  EXPECT_FALSE(readFileBytes(path, bytes, content.size() - 1));
  EXPECT_FALSE(readFileBytes(dir_ + "/missing", bytes));
  EXPECT_FALSE(readFileBytes(dir_, bytes));  // a folder opens but cannot be read
}

TEST_F(TempFolder, ReadOpenFileBytesStartsFromTheBeginning) {
  const std::string path = dir_ + "/open.bin";
  std::FILE* f = std::fopen(path.c_str(), "wb+");
  ASSERT_NE(f, nullptr);
  std::fputs("abc\r\ndef", f);
  EXPECT_EQ(readOpenFileBytes(f), "abc\r\ndef");
  EXPECT_EQ(readOpenFileBytes(f), "abc\r\ndef");
  std::fclose(f);
  EXPECT_EQ(readOpenFileBytes(nullptr), "");
}

TEST(Platform, HttpDateIsUtcInEnglish) {
  EXPECT_EQ(httpDate(0), "Thu, 01 Jan 1970 00:00:00 GMT");
  EXPECT_EQ(httpDate(1709629620), "Tue, 05 Mar 2024 09:07:00 GMT");
  EXPECT_EQ(httpDate(951782400), "Tue, 29 Feb 2000 00:00:00 GMT");
}

TEST(PathParts, FolderNameAndExtension) {
  EXPECT_EQ(directoryOf("/a/b/c.zud8"), "/a/b/");
  EXPECT_EQ(fileNameOf("/a/b/c.zud8"), "c.zud8");
  EXPECT_EQ(extensionOf("/a/b/c.zud8"), ".zud8");
  EXPECT_EQ(directoryOf("/c"), "/");
  EXPECT_EQ(directoryOf("c.csv"), "");
  EXPECT_EQ(fileNameOf("c.csv"), "c.csv");
  EXPECT_EQ(fileNameOf("/a/b/"), "");
}

TEST(PathParts, ExtensionIsFromTheLastDotOfTheFileName) {
  EXPECT_EQ(extensionOf("data.backup.CSV"), ".CSV");
  EXPECT_EQ(extensionOf("/a.b/file"), "");
  EXPECT_EQ(extensionOf("/a/.zud8"), ".zud8");
  EXPECT_EQ(extensionOf("file."), ".");
  EXPECT_EQ(extensionOf(""), "");
}

TEST_F(TempFolder, EditorPagesAreFoundBesideTheProgramThenInItsShareFolder) {
  const std::string bin = dir_ + "/usr/bin/";
  const std::string share = dir_ + "/usr/share/zu/HTMLFiles";
  std::filesystem::create_directories(bin);
  std::filesystem::create_directories(share);
  // Neither folder holds pages yet for the program in `dir_`: the one beside it is named.
  EXPECT_EQ(editorPagesDirectory(dir_ + "/"), dir_ + "/HTMLFiles/");
  // An installed program reads the share folder; a copy beside its pages reads those.
  EXPECT_EQ(editorPagesDirectory(bin), bin + "../share/zu/HTMLFiles/");
  ASSERT_EQ(mkdir((bin + "HTMLFiles").c_str(), 0700), 0);
  EXPECT_EQ(editorPagesDirectory(bin), bin + "HTMLFiles/");
}
