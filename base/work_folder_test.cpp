#include "base/work_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "base/files_test_support.h"

namespace {

// Sets an environment variable for the life of the object and puts the old value back.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : m_name(name) {
    if (const char* old = std::getenv(name)) m_old = old;
    if (value != nullptr) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (m_old) {
      ::setenv(m_name, m_old->c_str(), 1);
    } else {
      ::unsetenv(m_name);
    }
  }

 private:
  const char* m_name;
  std::optional<std::string> m_old;
};

int modeOf(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 0777) : -1;
}

TEST(WorkFolderTest, LivesUnderTheStateFolderWithOwnerOnlyAccess) {
  TempDir dir;
  ASSERT_FALSE(dir.path().empty());
  {
    ScopedEnv state("XDG_STATE_HOME", dir.path().c_str());
    EXPECT_EQ(transferWorkFolder(), dir.path() + "/zu/work");
  }
  EXPECT_EQ(modeOf(dir.path() + "/zu"), 0700);
  EXPECT_EQ(modeOf(dir.path() + "/zu/work"), 0700);
  // Without XDG_STATE_HOME, or with a relative one, the folder is below HOME.
  for (const char* state : {static_cast<const char*>(nullptr), "relative/state"}) {
    ScopedEnv s("XDG_STATE_HOME", state);
    ScopedEnv home("HOME", dir.path().c_str());
    EXPECT_EQ(transferWorkFolder(), dir.path() + "/.local/state/zu/work");
  }
}

TEST(WorkFolderTest, NoFolderWhenItCannotBeMade) {
  TempDir dir;
  ASSERT_FALSE(dir.path().empty());
  writeFile(dir.path() + "/zu", "a file in the way");
  {
    ScopedEnv state("XDG_STATE_HOME", dir.path().c_str());
    EXPECT_EQ(transferWorkFolder(), "");
    RunWorkFolder run;
    EXPECT_EQ(run.path(), "");
  }
  ScopedEnv state("XDG_STATE_HOME", nullptr);
  ScopedEnv home("HOME", nullptr);
  EXPECT_EQ(transferWorkFolder(), "");
}

TEST(WorkFolderTest, EachRunHasItsOwnSubfolderRemovedUnlessKept) {
  TempDir dir;
  ASSERT_FALSE(dir.path().empty());
  ScopedEnv state("XDG_STATE_HOME", dir.path().c_str());
  std::string first, kept;
  {
    RunWorkFolder a;
    RunWorkFolder b;
    ASSERT_FALSE(a.path().empty());
    ASSERT_NE(a.path(), b.path());
    EXPECT_EQ(a.path().rfind(dir.path() + "/zu/work/run-", 0), 0u);
    EXPECT_EQ(modeOf(a.path()), 0700);
    writeFile(a.path() + "/sys-tanf.txt", "rows");
    first = a.path();
    b.keep();
    kept = b.path();
  }
  EXPECT_FALSE(std::filesystem::exists(first));
  EXPECT_TRUE(std::filesystem::is_directory(kept));
}

}  // namespace
