// End-to-end runs of every entry point against the main-unit simulator, pacing off.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "base/cp932.h"
#include "base/files_test_support.h"
#include "data/exchange_files.h"
#include "data/phonebook_tables.h"
#include "data/process_state.h"
#include "data/restriction_files.h"
#include "data/restriction_table.h"
#include "data/system_data.h"
#include "link/link_test_support.h"
#include "link/simulator_transfer_test_support.h"
#include "link/tcp_file_transfer.h"
#include "link/transfer_names.h"
#include "mainunit/simulator.h"
#include "ui/scripted/scripted_ui.h"

namespace {

using namespace std::chrono_literals;

std::string field(const char* text, std::size_t size) {
  return std::string(text, strnlen(text, size));
}

// Every 192-byte user-information line starts with the date and time and has its commas in place.
bool looksLikeUserInfoLine(std::string_view bytes) {
  if (bytes.size() < 192) return false;
  for (int i = 0; i < 12; ++i)
    if (bytes[i] < '0' || bytes[i] > '9') return false;
  return bytes[12] == ',' && bytes[37] == ',' && bytes[62] == ',' && bytes[87] == ',' &&
         bytes[112] == ',' && bytes[185] == ',' && bytes.substr(190, 2) == "\r\n";
}

class TransferRun : public SimulatorTransferTest {
 protected:
  TransferRun() : SimulatorTransferTest(2000ms, "zu-link-run") {}

  void setFirmware(const std::string& fw) {
    setOptions([&](SimulatorOptions& o) { o.fwVer = fw; });
  }
  // The session the last run talked to, once the simulator has finished it.
  SimulatorSession session() {
    EXPECT_TRUE(unit_->waitForSessions(sessionsBefore_ + 1, 5s));
    return unit_->lastSession();
  }
  std::vector<std::string> headsFromTool(const SimulatorSession& s, const std::string& connection) {
    std::vector<std::string> out;
    for (const auto& h : s.heads)
      if (h.fromTool && h.connection == connection) out.push_back(h.text);
    return out;
  }
  // Reads an exchange file of the work folder into the tables, as the read workflows do.
  int readWorkFile(ExchangeKind kind, const std::string& name) {
    const RowSource source =
        kind == ExchangeKind::SpeedDial ? RowSource::MainUnit : RowSource::UserFile;
    return readExchangeFile(workDir_ + "/" + name, {kind, speedDialFormOf(sysTanfMode), source})
        .code;
  }
  int writeWorkFile(ExchangeKind kind, const std::string& name) {
    return writeExchangeFile(workDir_ + "/" + name, kind, speedDialFormOf(sysTanfMode)).code;
  }
  void expectSpeedDialMatchesUnit(const std::vector<int>& entries) {
    const MainUnitTables t = unit_->tables();
    for (int k : entries) {
      SpeedDialFields f{};
      getSpeedDialEntry(k, f);
      EXPECT_EQ(field(f.number, sizeof f.number), t.speedDial[k].number) << k;
      EXPECT_EQ(field(f.name, sizeof f.name), t.speedDial[k].name) << k;
      EXPECT_EQ(field(f.reading, sizeof f.reading), t.speedDial[k].reading) << k;
    }
  }

};

TEST_F(TransferRun, ReadPhonebookFromFirmware4LeavesTheTenColumnFamily) {
  ASSERT_EQ(transfer_.ReadPhonebook(), 0);
  EXPECT_TRUE(ui_.messages().empty());
  EXPECT_EQ(sysTanfMode, 1);
  EXPECT_EQ(regularFilesIn(workDir_),
            (std::set<std::string>{"naisen.txt", "usertkbn.txt", "sys-tanf.txt"}));
  EXPECT_TRUE(regularFilesIn(workDir_ + "/Zu").empty());

  const std::string tanf = readFile(workDir_ + "/sys-tanf.txt");
  EXPECT_TRUE(looksLikeUserInfoLine(tanf));
  const std::string templates = readFile(workDir_ + "/usertkbn.txt");
  EXPECT_TRUE(looksLikeUserInfoLine(templates));
  EXPECT_EQ(templates.substr(192, 2), "\r\n");  // an empty line after the information line

  // The workflow reads the files back: the tables hold what the main unit holds.
  ASSERT_EQ(readWorkFile(ExchangeKind::SpeedDial, "sys-tanf.txt"), 0);
  expectSpeedDialMatchesUnit({0, 1, 2, 499, 500, 5000, 9998, 9999});
  ASSERT_EQ(readWorkFile(ExchangeKind::Extensions, "naisen.txt"), 0);
  const MainUnitTables t = unit_->tables();
  for (int position : {101, 160, 201, 456, 601}) {
    const int i = extensionIndexOf(position);
    ASSERT_GE(i, 0);
    ExtensionFields f{};
    getExtensionEntry(0, position, f);
    EXPECT_EQ(field(f.name, sizeof f.name), t.extensions[i].name) << position;
    EXPECT_EQ(field(f.extensionNumber, sizeof f.extensionNumber), t.extensions[i].number)
        << position;
  }
  ASSERT_EQ(readWorkFile(ExchangeKind::Templates, "usertkbn.txt"), 0);
  for (int item : {1, 2, 999}) {
    char text[21];
    getTemplateMessage(item, text);
    EXPECT_EQ(std::string(text), t.templates[item]) << item;
  }
}

TEST_F(TransferRun, ReadPhonebookFromFirmware3LeavesTheSevenColumnFamily) {
  setFirmware("3.00");
  sysTanfMode = 1;
  ASSERT_EQ(transfer_.ReadPhonebook(), 0);
  EXPECT_EQ(sysTanfMode, 0);
  EXPECT_EQ(regularFilesIn(workDir_), (std::set<std::string>{"naisen.txt", "sys-tan.txt"}));
  ASSERT_EQ(readWorkFile(ExchangeKind::SpeedDial, "sys-tan.txt"), 0);
  expectSpeedDialMatchesUnit({0, 777, 9999});
  EXPECT_EQ(session().listedFiles, (std::vector<std::string>{"naisen.txt", "sys-tan.txt"}));
}

TEST_F(TransferRun, MissingFirmwareVersionCountsAsBelowFour) {
  setFirmware("");
  ASSERT_EQ(transfer_.ReadPhonebook(), 0);
  EXPECT_EQ(sysTanfMode, 0);
  EXPECT_EQ(regularFilesIn(workDir_), (std::set<std::string>{"naisen.txt", "sys-tan.txt"}));
}

TEST_F(TransferRun, ReadCallHistoryLeavesBothHistoriesAndNoTyaklog) {
  ASSERT_EQ(transfer_.ReadCallHistory(), 0);
  EXPECT_EQ(regularFilesIn(workDir_), (std::set<std::string>{"naityaklog.txt", "gaityaklog.txt"}));
  for (const char* name : {"naityaklog.txt", "gaityaklog.txt"}) {
    const std::string bytes = readFile(workDir_ + "/" + name);
    EXPECT_TRUE(looksLikeUserInfoLine(bytes)) << name;
    EXPECT_EQ(bytes.substr(192, 2), "\r\n") << name;
    EXPECT_GT(bytes.size(), 5000u * 20) << name;  // 5000 records
  }
  EXPECT_EQ(session().listedFiles, (std::vector<std::string>{"tyaklog.txt"}));
}

TEST_F(TransferRun, ReadRestrictionNumbersLeavesTheRestrictionFile) {
  ASSERT_EQ(transfer_.ReadRestrictionNumbers(), 0);
  EXPECT_EQ(regularFilesIn(workDir_), (std::set<std::string>{"hkiseino.txt"}));
  const std::string bytes = readFile(workDir_ + "/hkiseino.txt");
  EXPECT_TRUE(looksLikeUserInfoLine(bytes));
  // Every stored number of the unit appears in the file.
  const MainUnitTables t = unit_->tables();
  int checked = 0;
  for (int k = 0; k < kMainUnitRestrictions && checked < 20; k += 497) {
    if (t.restrictions[k].empty()) continue;
    EXPECT_NE(bytes.find(t.restrictions[k]), std::string::npos) << k;
    ++checked;
  }
  EXPECT_GT(checked, 0);
}

TEST_F(TransferRun, HeadsOnTheWireAreByteExact) {
  setFirmware("4.00");
  ASSERT_EQ(transfer_.ReadPhonebook(), 0);
  const SimulatorSession s = session();
  const auto control = headsFromTool(s, "control");
  ASSERT_EQ(control.size(), 1u);
  EXPECT_TRUE(std::regex_match(
      control[0],
      std::regex("GET /connection\\.xml HTTP/1\\.1\r\nCryptoKey: [0-9A-F]{128}\r\n\r\n")))
      << control[0];

  const auto data = headsFromTool(s, "data");
  ASSERT_GE(data.size(), 2u + 6u);
  EXPECT_EQ(
      data[0],
      "HTTP/1.1 401 Unauthorized\r\nAccept-Encoding:\r\ngzip, deflate\r\nConnection: Keep-Alive\r\n"
      "Content-Length: 0\r\n\r\n");
  EXPECT_EQ(data[1],
            "HTTP/1.1 200 OK\r\nAccept-Encoding: gzip, deflate\r\nConnection: Keep-Alive\r\n"
            "Content-Length: " +
                std::to_string(s.fileList.size()) + "\r\n\r\n");
  EXPECT_EQ(data[2], "GET /naisen.txt HTTP/1.1\r\nHost: 127.0.0.2\r\n\r\n");
  EXPECT_EQ(data[3],
            "GET /naisen.txt HTTP/1.1\r\nHost: 127.0.0.2\r\nAuthorization: NzM1MQ==\r\n\r\n");
  EXPECT_EQ(data[4], "GET /usertkbn.txt HTTP/1.1\r\nHost: 127.0.0.2\r\n\r\n");
  EXPECT_EQ(data[7],
            "GET /sys-tanf.txt HTTP/1.1\r\nHost: 127.0.0.2\r\nAuthorization: NzM1MQ==\r\n\r\n");

  EXPECT_EQ(s.fileList,
            "<root>\r\n<UD-TYPE>DOWNLOAD</UD-TYPE>\r\n<NAISEN>127.0.0.2/naisen.txt</NAISEN>\r\n"
            "<USERTKBN>127.0.0.2/usertkbn.txt</USERTKBN>\r\n<SYS-TANF>127.0.0.2/sys-tanf.txt</"
            "SYS-TANF>\r\n"
            "</root>\r\n");
}

TEST_F(TransferRun, DownloadProgressOfThreeFiles) {
  ASSERT_EQ(transfer_.ReadPhonebook(), 0);
  EXPECT_EQ(progress_.values(kSetPercentMessage),
            (std::vector<std::uintptr_t>{0, 5, 5, 36, 67, 100}));
  // Each fetched file announces its range and its byte count before the bytes-done reports.
  const auto starts = progress_.values(kRangeStartMessage);
  EXPECT_EQ(starts, (std::vector<std::uintptr_t>{5, 5, 5, 36, 36, 67, 67}));
  const auto ends = progress_.values(kRangeEndMessage);
  EXPECT_EQ(ends.back(), 98u);
  const auto done = progress_.values(kBytesDoneMessage);
  ASSERT_FALSE(done.empty());
  const auto transferred = session().transferred;
  ASSERT_EQ(transferred.size(), 3u);
  EXPECT_EQ(done.back(), transferred.back().second.size());
}

TEST_F(TransferRun, WriteTwoBlocksToFirmware4SendsTheTenColumnBlocksAndStoresThem) {
  sysTanfMode = 1;
  SpeedDialFields f{};
  std::strcpy(f.number, "0312345678");
  std::strcpy(f.name, utf8ToCp932("本社").c_str());
  std::strcpy(f.reading, utf8ToCp932("ﾌｧｰｽﾄ").c_str());
  std::strcpy(f.use, "1");
  std::strcpy(f.speedDialGroup, "01");
  ASSERT_EQ(setSpeedDialEntry(0, f), 1);
  SpeedDialFields g = f;
  std::strcpy(g.number, "0699998888");
  std::strcpy(g.name, "LAST");
  ASSERT_EQ(setSpeedDialEntry(9999, g), 1);
  SpeedDialFields h = f;
  std::strcpy(h.name, "UNSENT");
  ASSERT_EQ(setSpeedDialEntry(5000, h), 1);
  const std::string before5000 = unit_->tables().speedDial[5000].name;

  ASSERT_EQ(writeWorkFile(ExchangeKind::SpeedDial, "sys-tanf.txt"), 0);
  transfer_.PrepareSpeedDialFiles(1);
  writeSelection[0] = 1;
  writeSelection[19] = 1;
  ASSERT_EQ(transfer_.WritePhonebook(), 0);
  EXPECT_TRUE(ui_.messages().empty());

  const SimulatorSession s = session();
  EXPECT_TRUE(s.succeeded) << s.failure;
  EXPECT_EQ(s.listedFiles,
            (std::vector<std::string>{"sys-tanf0000.txt", "sys-tanf9500.txt", "sys-tanf9500.txt"}));
  ASSERT_EQ(s.transferred.size(), 3u);
  EXPECT_EQ(s.transferred[0].second, readFile(workDir_ + "/sys-tanf0000.txt"));
  EXPECT_EQ(s.transferred[1].second, readFile(workDir_ + "/sys-tanf9500.txt"));
  const MainUnitTables t = unit_->tables();
  EXPECT_EQ(t.speedDial[0].name, utf8ToCp932("本社"));
  EXPECT_EQ(t.speedDial[0].number, "0312345678");
  EXPECT_EQ(t.speedDial[9999].name, "LAST");
  EXPECT_EQ(t.speedDial[5000].name, before5000);  // block 10 was not selected
}

TEST_F(TransferRun, WriteTwoBlocksToFirmware3SendsTheSevenColumnBlocks) {
  setFirmware("3.00");
  ASSERT_EQ(writeWorkFile(ExchangeKind::SpeedDial, "sys-tan.txt"), 0);
  transfer_.PrepareSpeedDialFiles(0);
  writeSelection[0] = 1;
  writeSelection[19] = 1;
  ASSERT_EQ(transfer_.WritePhonebook(), 0);
  EXPECT_EQ(session().listedFiles,
            (std::vector<std::string>{"sys-tan0000.txt", "sys-tan9500.txt", "sys-tan9500.txt"}));
}

TEST_F(TransferRun, WriteEverythingSendsEveryBlockAndTheLastTwice) {
  sysTanfMode = 1;
  const std::string text = utf8ToCp932("ご来店ください");
  ASSERT_EQ(setTemplateMessage(7, text, 1), 1);
  ASSERT_EQ(writeWorkFile(ExchangeKind::SpeedDial, "sys-tanf.txt"), 0);
  ASSERT_EQ(writeWorkFile(ExchangeKind::Extensions, "naisen.txt"), 0);
  ASSERT_EQ(writeWorkFile(ExchangeKind::Templates, "usertkbntmp.txt"), 0);
  transfer_.PrepareSpeedDialFiles(1);
  transfer_.PrepareExtensionFiles();
  transfer_.PrepareTemplateFile();
  for (int& w : writeSelection) w = 1;
  ASSERT_EQ(transfer_.WritePhonebook(), 0);

  const SimulatorSession s = session();
  EXPECT_TRUE(s.succeeded) << s.failure;
  ASSERT_EQ(s.listedFiles.size(), 27u);
  EXPECT_EQ(s.listedFiles[0], "sys-tanf0000.txt");
  EXPECT_EQ(s.listedFiles[19], "sys-tanf9500.txt");
  EXPECT_EQ(s.listedFiles[20], "naisen101.txt");
  EXPECT_EQ(s.listedFiles[24], "naisen429.txt");
  EXPECT_EQ(s.listedFiles[25], "usertkbn.txt");
  EXPECT_EQ(s.listedFiles[26], "usertkbn.txt");
  EXPECT_EQ(s.transferred.size(), 27u);
  EXPECT_EQ(unit_->tables().templates[7], text);
}

TEST_F(TransferRun, OnlyTemplatesToFirmware3EndsWithoutADataConnection) {
  setFirmware("3.00");
  writeSelection[21] = 1;
  ASSERT_EQ(transfer_.WritePhonebook(), 0);
  EXPECT_TRUE(ui_.messages().empty());
  const SimulatorSession s = session();
  EXPECT_TRUE(s.fileList.empty());
  EXPECT_TRUE(headsFromTool(s, "data").empty());
  EXPECT_EQ(transfer_.KeyHandle(), 0);
}

TEST_F(TransferRun, WriteRestrictionNumbersListsTheLastBlockTwiceWithTheToolsAddress) {
  // The exchange file of the restriction numbers, as the restriction workflow writes it.
  RestrictionEntry e{};
  std::strcpy(e.number, "0120999888");
  storeRestrictionEntry(4321, e, RestrictionStoreMode::FileLoad);
  ASSERT_EQ(writeRestrictionExchangeFile(workDir_ + "/hkiseinotmp.txt"), 0);
  transfer_.PrepareRestrictionFiles();
  ASSERT_EQ(transfer_.WriteRestrictionNumbers(), 0)
      << (ui_.messages().empty() ? "" : ui_.lastMessage().text);

  const SimulatorSession s = session();
  EXPECT_TRUE(s.succeeded) << s.failure;
  ASSERT_EQ(s.listedFiles.size(), 11u);
  EXPECT_EQ(s.listedFiles[9], "hkiseino9000.txt");
  EXPECT_EQ(s.listedFiles[10], "hkiseino9000.txt");
  EXPECT_NE(s.fileList.find("<UD-TYPE>UPLOAD</UD-TYPE>\r\n<HKISEINO0000>127.0.0.1/"
                            "hkiseino0000.txt</HKISEINO0000>\r\n"),
            std::string::npos);
  EXPECT_NE(
      s.fileList.find("<HKISEINO9000>127.0.0.1/hkiseino9000.txt</HKISEINO9000>\r\n"
                      "<HKISEINO9000>127.0.0.1/hkiseino9000.txt</HKISEINO9000>\r\n</root>\r\n"),
      std::string::npos);
  EXPECT_EQ(unit_->tables().restrictions[4321], "0120999888");
}

TEST_F(TransferRun, UploadProgressOfThreeFiles) {
  sysTanfMode = 1;
  ASSERT_EQ(writeWorkFile(ExchangeKind::SpeedDial, "sys-tanf.txt"), 0);
  ASSERT_EQ(writeWorkFile(ExchangeKind::Templates, "usertkbntmp.txt"), 0);
  transfer_.PrepareSpeedDialFiles(1);
  transfer_.PrepareTemplateFile();
  writeSelection[0] = 1;
  writeSelection[21] = 1;  // sys-tanf0000.txt, usertkbn.txt, usertkbn.txt
  ASSERT_EQ(transfer_.WritePhonebook(), 0);
  EXPECT_EQ(progress_.values(kSetPercentMessage),
            (std::vector<std::uintptr_t>{0, 5, 5, 36, 67, 98, 100}));
}

TEST_F(TransferRun, ASecondRunAfterAFailedOneSucceedsAndLeftoversAreGone) {
  ::mkdir((workDir_ + "/Zu").c_str(), 0777);
  std::ofstream(workDir_ + "/Zu/stale.tmp") << "old";
  std::ofstream(workDir_ + "/Zu/keep.dat") << "not ours";
  // A connection answer left by a run that was killed; other XML files are not the link's.
  std::ofstream(workDir_ + "/Zu/zuQ7x2Lk.xml") << "<root></root>";
  std::ofstream(workDir_ + "/Zu/notes.xml") << "<notes/>";
  SimulatorOptions busy = baseOptions_;
  busy.busy = true;
  unit_->setOptions(busy);
  EXPECT_EQ(transfer_.ReadCallHistory(), -1);
  EXPECT_EQ(ui_.lastMessage().text, "主装置使用中です。");
  EXPECT_EQ(regularFilesIn(workDir_ + "/Zu"), (std::set<std::string>{"keep.dat", "notes.xml"}));
  EXPECT_EQ(transfer_.KeyHandle(), 0);

  ASSERT_TRUE(unit_->waitForSessions(sessionsBefore_ + 1, 5s));
  sessionsBefore_ = unit_->sessionCount();
  unit_->setOptions(baseOptions_);
  EXPECT_EQ(transfer_.ReadCallHistory(), 0);
  EXPECT_EQ(regularFilesIn(workDir_ + "/Zu"), (std::set<std::string>{"keep.dat", "notes.xml"}));
  EXPECT_EQ(transfer_.KeyHandle(), 0);
}

TEST_F(TransferRun, APreparationThatCannotFinishLeavesNoBlockToSend) {
  sysTanfMode = 1;
  const auto block = [this](int i) { return workDir_ + "/" + speedDialBlockName(i, true); };
  const auto anyBlockLeft = [&] {
    for (int i = 0; i < 20; ++i)
      if (i != 5 && ::access(block(i).c_str(), F_OK) == 0) return true;
    return false;
  };
  ASSERT_EQ(writeWorkFile(ExchangeKind::SpeedDial, "sys-tanf.txt"), 0);
  transfer_.PrepareSpeedDialFiles(1);
  ASSERT_EQ(::access(block(19).c_str(), F_OK), 0);

  // A block that cannot be created (a folder holds its name) stops the next preparation: none
  // of the blocks of the earlier one is left, and an upload of the last block fails instead
  // of sending what an earlier preparation left.
  std::remove(block(5).c_str());
  ASSERT_EQ(::mkdir(block(5).c_str(), 0777), 0);
  std::ofstream(block(5) + "/x") << "x";
  transfer_.PrepareSpeedDialFiles(1);
  EXPECT_FALSE(anyBlockLeft());
  writeSelection[19] = 1;
  EXPECT_EQ(transfer_.WritePhonebook(), -1);
  EXPECT_TRUE(session().transferred.empty());
  std::remove((block(5) + "/x").c_str());
  ::rmdir(block(5).c_str());

  // Without its source a preparation leaves no block either.
  transfer_.PrepareSpeedDialFiles(1);
  ASSERT_EQ(::access(block(19).c_str(), F_OK), 0);
  std::remove((workDir_ + "/sys-tanf.txt").c_str());
  transfer_.PrepareSpeedDialFiles(1);
  EXPECT_FALSE(anyBlockLeft());
  EXPECT_NE(::access(block(5).c_str(), F_OK), 0);
}

}  // namespace
