#include "base/atomic_file.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "base/files_test_support.h"

namespace {

class AtomicFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(tmp_.path().empty());
    dir_ = tmp_.path();
    target_ = dir_ + "/data.zud8";
  }
  std::vector<std::string> entries() const { return tmp_.names(); }
  void writeTarget(const std::string& bytes) { writeFile(target_, bytes); }
  std::string readTarget() const { return readFile(target_); }
  TempDir tmp_{"zu_atomic"};
  std::string dir_;
  std::string target_;
};

}  // namespace

TEST_F(AtomicFileTest, CommitReplacesTheTargetAndLeavesNoTemporary) {
  writeTarget("old content");
  AtomicFileWriter writer(target_);
  ASSERT_TRUE(writer.open());
  EXPECT_EQ(writer.temporaryPath().rfind(dir_ + "/", 0), 0u);
  ASSERT_TRUE(writer.write("new "));
  std::fputs("content", writer.file());
  ASSERT_TRUE(writer.commit());
  EXPECT_EQ(readTarget(), "new content");
  EXPECT_EQ(entries(), std::vector<std::string>{"data.zud8"});
  EXPECT_FALSE(writer.commit());
}

TEST_F(AtomicFileTest, AbandonedWriteLeavesTheOldFileAndRemovesTheTemporary) {
  writeTarget("old content");
  {
    AtomicFileWriter writer(target_);
    ASSERT_TRUE(writer.open());
    ASSERT_TRUE(writer.write("half of the new"));
    EXPECT_EQ(entries().size(), 2u);
  }
  EXPECT_EQ(readTarget(), "old content");
  EXPECT_EQ(entries(), std::vector<std::string>{"data.zud8"});
}

TEST_F(AtomicFileTest, NewFileIsCreatedWithReadableMode) {
  ASSERT_TRUE(replaceFileAtomically(target_, std::string("a\0b", 3)));
  EXPECT_EQ(readTarget(), std::string("a\0b", 3));
  struct stat st {};
  ASSERT_EQ(stat(target_.c_str(), &st), 0);
  const mode_t mask = umask(0);
  umask(mask);
  EXPECT_EQ(st.st_mode & 07777, 0644u & ~mask);
}

TEST_F(AtomicFileTest, ReplaceKeepsThePermissionBitsOfTheTarget) {
  writeTarget("old");
  ASSERT_EQ(chmod(target_.c_str(), 0640), 0);
  ASSERT_TRUE(replaceFileAtomically(target_, "new"));
  struct stat st {};
  ASSERT_EQ(stat(target_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(AtomicFileTest, ReadOnlyTargetIsNotReplaced) {
  if (geteuid() == 0) GTEST_SKIP() << "root may write any file";
  writeTarget("protected");
  ASSERT_EQ(chmod(target_.c_str(), 0444), 0);
  EXPECT_FALSE(replaceFileAtomically(target_, "new"));
  EXPECT_EQ(readTarget(), "protected");
  EXPECT_EQ(entries(), std::vector<std::string>{"data.zud8"});
}

TEST_F(AtomicFileTest, FailedRenameLeavesNoTemporary) {
  // A folder in the target's place cannot be replaced by a file.
  ASSERT_EQ(mkdir(target_.c_str(), 0755), 0);
  AtomicFileWriter writer(target_);
  ASSERT_TRUE(writer.open());
  ASSERT_TRUE(writer.write("x"));
  EXPECT_FALSE(writer.commit());
  EXPECT_EQ(entries(), std::vector<std::string>{"data.zud8"});
  rmdir(target_.c_str());
}

TEST_F(AtomicFileTest, MissingFolderFailsToOpen) {
  AtomicFileWriter writer(dir_ + "/missing/data.zud8");
  EXPECT_FALSE(writer.open());
  EXPECT_FALSE(writer.write("x"));
  EXPECT_FALSE(writer.commit());
}

TEST_F(AtomicFileTest, SymbolicLinkTargetReplacesTheFileItPointsTo) {
  writeTarget("old");
  const std::string link = dir_ + "/link.zud8";
  ASSERT_EQ(symlink(target_.c_str(), link.c_str()), 0);
  ASSERT_TRUE(replaceFileAtomically(link, "new"));
  EXPECT_EQ(readTarget(), "new");
  struct stat st {};
  ASSERT_EQ(lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
}
