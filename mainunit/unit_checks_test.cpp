// The unit's checks on what a tool sends: what a right tool sends passes, and every wrong thing
// gets its own reason.
#include "mainunit/unit_checks.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

#include "mainunit/mainunit_tables.h"

namespace {

const FileListAddresses kAddresses{"127.0.0.2", "127.0.0.1"};

std::string elementOf(const std::string& file) {
  if (file == "tyaklog.txt") return "TYAK";
  std::string e = file.substr(0, file.size() - 4);
  for (char& c : e) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return e;
}

// A file list laid out as the tool writes it, each entry with its own element.
std::string listText(const std::string& direction, const std::vector<std::string>& files, const std::string& address) {
  std::string text = "<root>\r\n<UD-TYPE>" + direction + "</UD-TYPE>\r\n";
  for (const std::string& f : files) text += "<" + elementOf(f) + ">" + address + "/" + f + "</" + elementOf(f) + ">\r\n";
  return text + "</root>\r\n";
}

std::string listRefusal(const std::string& fw, const std::string& body) {
  return fileListRefusal(body, parseFileList(body), unitFirmwareOf(fw), kAddresses);
}

std::vector<std::string> numbered(const char* format, int first, int step, int count) {
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, format, first + i * step);
    names.push_back(name);
  }
  return names;
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const std::vector<std::string> kExtensionBlocks{"naisen101.txt", "naisen151.txt", "naisen241.txt", "naisen335.txt",
                                                "naisen429.txt"};

TEST(UnitChecks, FileListsMustBeWhatAToolSendsToThisFirmware) {
  const auto restrictions = numbered("hkiseino%04d.txt", 0, 1000, 10);
  const struct {
    const char* fw;
    const char* direction;
    std::vector<std::string> files;
    const char* refusal;  // "" passes
  } cases[] = {
      {"4.00", "DOWNLOAD", {"naisen.txt", "usertkbn.txt", "sys-tanf.txt"}, ""},
      {"3.00", "DOWNLOAD", {"naisen.txt", "sys-tan.txt"}, ""},
      {"", "DOWNLOAD", {"naisen.txt", "sys-tan.txt"}, ""},
      {"3.00", "DOWNLOAD", {"tyaklog.txt"}, ""},
      {"3.00", "DOWNLOAD", {"hkiseino.txt"}, ""},
      {"2.00", "DOWNLOAD", {"hkiseino.txt"}, "this unit (firmware 2.00) keeps no restriction numbers"},
      {"3.00", "DOWNLOAD", {"naisen.txt", "sys-tanf.txt"}, "this unit (firmware 3.00) serves no sys-tanf.txt (10-column speed dial)"},
      {"3.00", "DOWNLOAD", {"naisen.txt", "usertkbn.txt", "sys-tan.txt"}, "this unit (firmware 3.00) serves no usertkbn.txt (templates)"},
      {"4.00", "DOWNLOAD", {"naisen.txt", "sys-tan.txt"}, "this unit (firmware 4.00) serves the speed dial as sys-tanf.txt, not sys-tan.txt"},
      {"4.00", "DOWNLOAD", {"sys-tanf.txt", "naisen.txt", "usertkbn.txt"},
       "a download of sys-tanf.txt naisen.txt usertkbn.txt is none a tool makes; this unit expects naisen.txt "
       "usertkbn.txt sys-tanf.txt, tyaklog.txt or hkiseino.txt"},
      {"4.00", "UPLOAD", {"sys-tanf0000.txt", "sys-tanf9500.txt", "sys-tanf9500.txt"}, ""},
      {"4.00", "UPLOAD", numbered("sys-tanf%04d.txt", 0, 500, 20) + kExtensionBlocks + std::vector<std::string>{"usertkbn.txt", "usertkbn.txt"}, ""},
      {"3.00", "UPLOAD", std::vector<std::string>{"sys-tan0500.txt"} + kExtensionBlocks + std::vector<std::string>{"naisen429.txt"}, ""},
      {"4.00", "UPLOAD", restrictions + std::vector<std::string>{"hkiseino9000.txt"}, ""},
      {"3.00", "UPLOAD", {"sys-tanf0000.txt", "sys-tanf0000.txt"}, "this unit (firmware 3.00) takes no 10-column speed dial (sys-tanf0000.txt)"},
      {"3.00", "UPLOAD", {"usertkbn.txt", "usertkbn.txt"}, "this unit (firmware 3.00) keeps no templates (usertkbn.txt)"},
      {"4.00", "UPLOAD", {"sys-tan0000.txt", "sys-tan0000.txt"}, "this unit (firmware 4.00) takes the speed dial in 10-column blocks, not sys-tan0000.txt"},
      {"4.00", "UPLOAD", {"sys-tanf0500.txt", "sys-tanf0000.txt", "sys-tanf0000.txt"},
       "sys-tanf0000.txt is listed after sys-tanf0500.txt; the speed-dial blocks go once each, in ascending order"},
      {"4.00", "UPLOAD", {"naisen101.txt", "naisen151.txt", "naisen151.txt"},
       "the extension blocks go all five, in order: naisen101.txt naisen151.txt naisen241.txt naisen335.txt naisen429.txt"},
      {"4.00", "UPLOAD", std::vector<std::string>{"usertkbn.txt"} + kExtensionBlocks + std::vector<std::string>{"naisen429.txt"},
       "naisen101.txt cannot stand at place 2 of an upload"},
      {"4.00", "UPLOAD", {"sys-tanf0001.txt", "sys-tanf0001.txt"}, "sys-tanf0001.txt cannot stand at place 1 of an upload"},
      {"4.00", "UPLOAD", {"hkiseino0000.txt", "hkiseino0000.txt"},
       "the restriction blocks go all ten, in order, and alone: hkiseino0000.txt ... hkiseino9000.txt"},
      {"1.00", "UPLOAD", restrictions + std::vector<std::string>{"hkiseino9000.txt"}, "this unit (firmware 1.00) keeps no restriction numbers"},
      {"4.00", "UPLOAD", {"sys-tanf0000.txt"}, "an upload lists its last file twice; this one does not"},
  };
  for (const auto& c : cases) {
    const std::string address = std::string(c.direction) == "DOWNLOAD" ? kAddresses.unit : kAddresses.tool;
    EXPECT_EQ(listRefusal(c.fw, listText(c.direction, c.files, address)), c.refusal) << c.files.front();
  }
}

TEST(UnitChecks, FileListEntriesNameTheirElementAndAddressInTheToolsLayout) {
  const std::string download = listText("DOWNLOAD", {"tyaklog.txt"}, "127.0.0.2");
  const std::string upload = listText("UPLOAD", {"hkiseino9000.txt"}, "127.0.0.1");
  auto replaced = [](std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at; (at = text.find(from)) != std::string::npos;) text.replace(at, from.size(), to);
    return text;
  };
  const std::string restrictionUpload =
      listText("UPLOAD", numbered("hkiseino%04d.txt", 0, 1000, 10) + std::vector<std::string>{"hkiseino9000.txt"}, "127.0.0.1");
  const struct {
    std::string body;
    const char* refusal;
  } cases[] = {
      {replaced(download, "TYAK>", "TYAKLOG>"), "the entry for tyaklog.txt is <TYAKLOG>; it must be <TYAK>"},
      {replaced(download, "127.0.0.2/", "127.0.0.9/"), "the entry for tyaklog.txt names \"127.0.0.9\"; a download names this unit (127.0.0.2)"},
      {replaced(download, "127.0.0.2/", ""), "the entry for tyaklog.txt names \"\"; a download names this unit (127.0.0.2)"},
      {replaced(restrictionUpload, "127.0.0.1/", "127.0.0.2/"),
       "the entry for hkiseino0000.txt names \"127.0.0.2\"; an upload names the tool (127.0.0.1)"},
      {replaced(download, "\r\n", "\n"), "the file list is not laid out as <root>, <UD-TYPE> and one entry a line, each line ended by CR LF"},
      {replaced(download, "UD-TYPE", "ud-type"), "the file list is not laid out as <root>, <UD-TYPE> and one entry a line, each line ended by CR LF"},
      {replaced(download, "<UD-TYPE>DOWNLOAD</UD-TYPE>\r\n", ""), "the file list names no direction (UD-TYPE)"},
      {replaced(upload, "<HKISEINO9000>127.0.0.1/hkiseino9000.txt</HKISEINO9000>\r\n", ""), "the file list names no file"},
  };
  for (const auto& c : cases) EXPECT_EQ(listRefusal("4.00", c.body), c.refusal) << c.body;
  // A download may name the unit by any text that reaches it.
  const std::string byName = replaced(download, "127.0.0.2/", "localhost/");
  EXPECT_EQ(fileListRefusal(byName, parseFileList(byName), unitFirmwareOf("4.00"), {"127.0.0.1", "127.0.0.1"}), "");
}

// Upload blocks as the tool's block makers write them.
std::string speedDialBlock(int block, bool ten, const char* element = nullptr) {
  const std::string e = element ? element : ten ? "systanf" : "systan";
  std::string body = "<root>\n\n<" + e + ">\n\n";
  char row[64];
  for (int k = block * 500; k < block * 500 + 500; ++k) {
    std::snprintf(row, sizeof row, ten ? "%04d,,,,0,01,0,0,000,000,\n\n" : "%04d,,,,0,01,0,\n\n", k);
    body += row;
  }
  return body + "</" + e + ">\n\n</root>";
}

std::string extensionBlock(int first, int end) {
  std::string body = "<root>\n\n<naisen>\n\n";
  for (int i = first; i < end; ++i) body += std::to_string(mainUnitExtensionPositions()[i]) + ",,,,\n";
  return body + "</naisen>\n\n</root>\n";
}

std::string templateBlock() {
  std::string body = "<root>\r\n<m046>\r\n";
  char row[32];
  for (int i = 1; i < 1000; ++i) {
    std::snprintf(row, sizeof row, "%03d@text @%d\r", i, i);
    body += row;
  }
  return body + "</m046>\r\n</root>";
}

std::string restrictionBlock(int block, const char* rowFormat = "%04d@0120%04d,\n\n") {
  std::string body = "<root>\n\n<m018>\n\n";
  char row[64];
  for (int k = block * 1000; k < block * 1000 + 1000; ++k) {
    std::snprintf(row, sizeof row, rowFormat, k, k);
    body += row;
  }
  return body + "</m018>\n\n</root>";
}

std::string edited(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

TEST(UnitChecks, UploadBlocksHoldExactlyTheRowsOfTheirName) {
  const struct {
    const char* name;
    const char* fw;
    std::string body;
    const char* refusal;  // "" passes
  } cases[] = {
      {"sys-tanf0000.txt", "4.00", speedDialBlock(0, true), ""},
      {"sys-tan9500.txt", "3.00", speedDialBlock(19, false), ""},
      {"naisen101.txt", "4.00", extensionBlock(0, 51), ""},
      {"naisen429.txt", "3.00", extensionBlock(201, kMainUnitExtensionLines), ""},
      {"usertkbn.txt", "4.00", templateBlock(), ""},
      {"hkiseino9000.txt", "3.00", restrictionBlock(9), ""},
      {"sys-tanf0000.txt", "4.00", edited(speedDialBlock(0, true), "\n0499,", "\n0500,"),
       "sys-tanf0000.txt: row 0500 lies outside the block's range 0000-0499"},
      {"sys-tanf0000.txt", "4.00", edited(speedDialBlock(0, true), "0002,", "0001,"),
       "sys-tanf0000.txt: row 0001 comes twice or out of order"},
      {"naisen241.txt", "4.00", edited(extensionBlock(101, 151), "250,,,,\n", ""), "naisen241.txt: row 250 is missing"},
      {"hkiseino0000.txt", "4.00", edited(restrictionBlock(0), "0999@01200999,\n\n", ""), "hkiseino0000.txt: row 0999 is missing"},
      {"usertkbn.txt", "4.00", edited(templateBlock(), "</m046>", "1000@x\r</m046>"), "usertkbn.txt: row 1000 lies outside the block's range 001-999"},
      {"sys-tan0000.txt", "3.00", speedDialBlock(0, true, "systan"), "sys-tan0000.txt: row 0000 has 10 columns; the block wants 7"},
      {"sys-tan0000.txt", "3.00", speedDialBlock(0, true), "sys-tan0000.txt: the block holds \"<systanf>\"; its element is <systan>"},
      {"sys-tanf0000.txt", "3.00", speedDialBlock(0, true), "sys-tanf0000.txt: this unit (firmware 3.00) takes no 10-column speed dial"},
      {"sys-tan0000.txt", "4.00", speedDialBlock(0, false), "sys-tan0000.txt: this unit (firmware 4.00) takes the speed dial in 10-column blocks only"},
      {"usertkbn.txt", "3.00", templateBlock(), "usertkbn.txt: this unit (firmware 3.00) keeps no templates"},
      {"hkiseino0000.txt", "2.00", restrictionBlock(0), "hkiseino0000.txt: this unit (firmware 2.00) keeps no restriction numbers"},
      {"hkiseino0000.txt", "4.00", restrictionBlock(0, "%04d@0120%04d@,\n\n"),
       "hkiseino0000.txt: row 0000 holds \"01200000@\", not a number of up to 24 digits"},
      {"naisen101.txt", "4.00", edited(extensionBlock(0, 51), "101,,,,\n", "101,,,\n"), "naisen101.txt: row 101 has 3 columns; the block wants 4"},
      {"naisen101.txt", "4.00", edited(extensionBlock(0, 51), "101,,,,\n", "101,a,b,c\n"), "naisen101.txt: the row \"101,a,b,c\" does not end with ','"},
      {"sys-tanf0000.txt", "4.00", edited(speedDialBlock(0, true), "<root>\n", ""), "sys-tanf0000.txt: the block is not enclosed in <root> and </root>"},
      {"sys-tan0001.txt", "3.00", speedDialBlock(0, false), "sys-tan0001.txt: no such upload block"},
  };
  for (const auto& c : cases) EXPECT_EQ(uploadBlockRefusal(c.name, c.body, unitFirmwareOf(c.fw)), c.refusal) << c.name;
}

}  // namespace
