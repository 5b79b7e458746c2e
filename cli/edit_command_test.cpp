// zuctl edit as a process: its arguments, its URL line, a post through the server, the close on
// a line of standard input and the save back into the file.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "data/process_state.h"
#include "data/restriction_files.h"
#include "data/restriction_table.h"
#include "data/system_data.h"
#include "web/http_client_test_support.h"

namespace fs = std::filesystem;

namespace {

const std::string kZuctl = std::string(ZU_BINARY_DIR) + "/bin/zuctl";

// A running zuctl with pipes to its standard input and output.
struct Process {
  pid_t pid = -1;
  int in = -1, out = -1;
  explicit Process(std::vector<std::string> args) {
    int toChild[2], fromChild[2];
    if (::pipe(toChild) != 0 || ::pipe(fromChild) != 0) return;
    pid = ::fork();
    if (pid == 0) {
      ::dup2(toChild[0], 0);
      ::dup2(fromChild[1], 1);
      ::close(toChild[1]);
      ::close(fromChild[0]);
      std::vector<char*> argv;
      argv.push_back(const_cast<char*>(kZuctl.c_str()));
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(kZuctl.c_str(), argv.data());
      ::_exit(127);
    }
    ::close(toChild[0]);
    ::close(fromChild[1]);
    in = toChild[1];
    out = fromChild[0];
  }
  ~Process() {
    if (in >= 0) ::close(in);
    if (out >= 0) ::close(out);
    if (pid > 0) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
  }
  std::string readLine() {
    std::string line;
    char c;
    while (::read(out, &c, 1) == 1 && c != '\n') line += c;
    return line;
  }
  // Sends `input` (when given), closes standard input and waits for the exit status. A zuctl that
  // already exited (a usage error, a missing file) leaves the pipe without a reader: the write
  // then fails with EPIPE instead of killing the test with SIGPIPE, and the status still counts.
  int finish(const char* input) {
    if (input != nullptr) {
      struct sigaction ignore {
      }, previous{};
      ignore.sa_handler = SIG_IGN;
      ::sigaction(SIGPIPE, &ignore, &previous);
      [[maybe_unused]] const ssize_t sent = ::write(in, input, std::strlen(input));
      ::sigaction(SIGPIPE, &previous, nullptr);
    }
    ::close(in);
    in = -1;
    int status = 0;
    ::waitpid(pid, &status, 0);
    pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
};

class EditCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(kZuctl)) GTEST_SKIP() << "zuctl is not built";
    char tmpl[] = "/tmp/zu-edit-XXXXXX";
    dir_ = mkdtemp(tmpl);
  }
  void TearDown() override {
    if (!dir_.empty()) fs::remove_all(dir_);
  }
  std::string dir_;
};

TEST_F(EditCommandTest, UsageErrorsExitWithTwo) {
  EXPECT_EQ(Process({"edit"}).finish(nullptr), 2);
  EXPECT_EQ(Process({"edit", "everything", "x"}).finish(nullptr), 2);
  EXPECT_EQ(Process({"edit", "phonebook"}).finish(nullptr), 2);
  EXPECT_EQ(Process({"edit", "phonebook", "book.csv"}).finish(nullptr), 2);  // which table?
  EXPECT_EQ(Process({"edit", "restrictions", "a.zud7", "--port", "x"}).finish(nullptr), 2);
  EXPECT_EQ(Process({"edit", "restrictions", "a.zud7", "--colour"}).finish(nullptr), 2);
}

TEST_F(EditCommandTest, AMissingHistoryIsAnError) {
  EXPECT_EQ(Process({"edit", "internal-history", dir_ + "/none.csv", "--no-browser", "--port", "0"})
                .finish("\n"),
            1);
}

TEST_F(EditCommandTest, ServesUntilALineThenSavesTheEditedFile) {
  const std::string file = dir_ + "/numbers.csv";
  Process p({"edit", "restrictions", file, "--no-browser", "--port", "0"});
  const std::string url = p.readLine();
  ASSERT_TRUE(url.starts_with("http://127.0.0.1:")) << url;
  ASSERT_TRUE(url.ends_with("/"));
  const int port = std::stoi(url.substr(17));
  const std::string body = "m018_0000=0312345678&m018_0001=0120";
  const std::string answer =
      testhttp::roundTrip(port,
                          "POST /system/26sysfunc_01.html?1 HTTP/1.0\r\nContent-Type: "
                          "application/x-www-form-urlencoded\r\n"
                          "Content-Length: " +
                              std::to_string(body.size()) + "\r\n\r\n" + body,
                          std::chrono::milliseconds(20000));
  EXPECT_NE(answer.find("200 OK"), std::string::npos);
  EXPECT_EQ(p.finish("\n"), 0);
  EXPECT_EQ(testhttp::Connection(port).fd, -1);  // the server is gone

  initProcessState();
  initSystemData();
  ASSERT_EQ(loadRestrictionLocalFile(file), 0);
  EXPECT_STREQ(restrictionTable[0].number, "0312345678");
  EXPECT_STREQ(restrictionTable[1].number, "0120");
}

TEST_F(EditCommandTest, EndOfInputClosesToo) {
  Process p({"edit", "phonebook", dir_ + "/book.zud8", "--no-browser", "--port", "0",
             "--duplicates-allowed"});
  ASSERT_TRUE(p.readLine().starts_with("http://127.0.0.1:"));
  EXPECT_EQ(p.finish(nullptr), 0);
  EXPECT_TRUE(fs::exists(dir_ + "/book.zud8"));
}

}  // namespace
