// scripts/run.sh without a display runs the headless demo to the editor's address and stops the
// simulator at its end (run_demo_test.sh does the steps); the data ports of the read are free
// ones, so the test can run beside the others.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "base/socket_test_support.h"

TEST(RunScript, WithoutADisplayTheHeadlessDemoReadsThePhonebookAndServesIt) {
  const std::string command = std::string("sh ") + ZU_SOURCE_DIR + "/desktop/run_demo_test.sh " +
                              ZU_SOURCE_DIR + " " + ZU_BINARY_DIR + " 127.0.0.5 " +
                              std::to_string(freeLoopbackPorts(5));
  EXPECT_EQ(std::system(command.c_str()), 0);
}
