#include "link/transfer_names.h"

#include <gtest/gtest.h>

#include <string>

#include "base/ascii_text.h"

namespace {

TEST(TransferNames, FileListEntriesTakeTheFirstMatchingKey) {
  std::string element, file;
  const std::pair<const char*, const char*> cases[] = {{"sys-tan0500.txt", "SYS-TAN0500"},
                                                       {"sys-tanf9500.txt", "SYS-TANF9500"},
                                                       {"sys-tanf.txt", "SYS-TANF"},
                                                       {"SYS-TAN.TXT", "SYS-TAN"},
                                                       {"naisen429.txt", "NAISEN429"},
                                                       {"naisen.txt", "NAISEN"},
                                                       {"tyaklog.txt", "TYAK"},
                                                       {"hkiseino9000.txt", "HKISEINO9000"},
                                                       {"hkiseino.txt", "HKISEINO"},
                                                       {"usertkbn.txt", "USERTKBN"}};
  for (auto [name, expected] : cases) {
    ASSERT_TRUE(fileListEntry(name, element, file)) << name;
    EXPECT_EQ(element, expected);
    EXPECT_EQ(file, lowerAscii(name));
  }
  EXPECT_FALSE(fileListEntry("sys-tan0000.txt.bak", element, file));
  EXPECT_FALSE(fileListEntry("naisen102.txt", element, file));
  EXPECT_FALSE(fileListEntry("file_list.xml", element, file));
  EXPECT_EQ(recognisedDataFile("SYS-TANF0000.TXT"), "sys-tanf0000.txt");
  EXPECT_EQ(recognisedDataFile("..\\sys-tan.txt"), "");
}

}  // namespace
