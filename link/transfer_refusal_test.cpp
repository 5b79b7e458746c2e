// A tool that sends the wrong thing fails its run against the main unit: upload blocks tampered
// in the work folder before the upload are refused with the unit's reason, and the unit's tables
// stay as they were. A tool that asks while another tool's session runs is told the unit is in use.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "base/files_test_support.h"
#include "data/exchange_files.h"
#include "data/process_state.h"
#include "data/restriction_files.h"
#include "link/simulator_transfer_test_support.h"

namespace {

using namespace std::chrono_literals;

class TransferRefusal : public SimulatorTransferTest {
protected:
    TransferRefusal() : SimulatorTransferTest(1500ms, "zu-link-refusal") {}

    void TearDown() override {
        unit_->waitForSessions(sessionsBefore_ + 1, 10s);  // the next test starts with the unit idle
        SimulatorTransferTest::TearDown();
    }

    // The exchange files and blocks of the phonebook write, both speed-dial families.
    void stagePhonebook() {
        for (int family : {0, 1}) {
            const std::string name = family ? "sys-tanf.txt" : "sys-tan.txt";
            ASSERT_TRUE(writeExchangeFile(workFile(name), ExchangeKind::SpeedDial, speedDialFormOf(family)).ok());
            transfer_.PrepareSpeedDialFiles(family);
        }
        ASSERT_TRUE(writeExchangeFile(workFile("naisen.txt"), ExchangeKind::Extensions, SpeedDialForm::TenColumns).ok());
        transfer_.PrepareExtensionFiles();
    }

    std::string workFile(const std::string& name) const { return workDir_ + "/" + name; }

};

// One change to a work file before the upload.
struct Edit {
    enum Kind { ReplaceAll, CutLine, CopyFrom } kind;
    const char* file;
    const char* from;      // ReplaceAll: the text replaced; CutLine: the start of the line cut
    const char* to = "";   // ReplaceAll: its replacement; CopyFrom: the file copied over `file`
};

struct TamperRow {
    const char* name;
    const char* fwVer;
    int selection;  // the block-selection box of the phonebook write; -1: the restriction write
    std::vector<Edit> edits;
    const char* refusal;
};

void applyEdit(const Edit& e, const std::string& dir) {
    const std::string path = dir + "/" + e.file;
    std::string text = readFile(e.kind == Edit::CopyFrom ? dir + "/" + e.to : path);
    ASSERT_FALSE(text.empty()) << e.file;
    if (e.kind == Edit::ReplaceAll) {
        const std::string from = e.from, to = e.to;
        ASSERT_NE(text.find(from), std::string::npos) << from;
        for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
            text.replace(at, from.size(), to);
    } else if (e.kind == Edit::CutLine) {
        const std::size_t at = text.find(e.from);
        ASSERT_NE(at, std::string::npos) << e.from;
        text.erase(at + 1, text.find('\n', at + 1) - at);
    }
    writeFile(path, text);
}

class TamperedUploads : public TransferRefusal, public ::testing::WithParamInterface<TamperRow> {};

TEST_P(TamperedUploads, AreRefusedWithTheUnitsReason) {
    const TamperRow& row = GetParam();
    setOptions([&](SimulatorOptions& o) { o.fwVer = row.fwVer; });
    if (row.selection >= 0) {
        stagePhonebook();
        writeSelection[row.selection] = 1;
    } else {
        ASSERT_EQ(writeRestrictionLocalFile(workFile("hkiseinotmp.txt")), 0);  // the wrong form
        transfer_.PrepareRestrictionFiles();
    }
    for (const Edit& e : row.edits) applyEdit(e, workDir_);
    const MainUnitTables before = unit_->tables();

    EXPECT_EQ(row.selection >= 0 ? transfer_.WritePhonebook() : transfer_.WriteRestrictionNumbers(), -1);
    ASSERT_TRUE(unit_->waitForSessions(sessionsBefore_ + 1, 10s));
    const SimulatorSession s = unit_->lastSession();
    EXPECT_EQ(s.refusal, row.refusal);
    EXPECT_FALSE(s.succeeded);
    EXPECT_TRUE(unit_->tables() == before);  // a refused upload changes nothing
}

const TamperRow kTamperRows[] = {
    {"RowOutsideItsBlock", "4.00", 0, {{Edit::ReplaceAll, "sys-tanf0000.txt", "\n0499,", "\n0500,"}},
     "sys-tanf0000.txt: row 0500 lies outside the block's range 0000-0499"},
    {"MissingRow", "4.00", 20, {{Edit::CutLine, "naisen241.txt", "\n250,"}}, "naisen241.txt: row 250 is missing"},
    {"RowTwice", "3.00", 19, {{Edit::ReplaceAll, "sys-tan9500.txt", "\n9998,", "\n9997,"}},
     "sys-tan9500.txt: row 9997 comes twice or out of order"},
    {"TenColumnBlockBelowFour", "3.00", 0, {{Edit::CopyFrom, "sys-tan0000.txt", nullptr, "sys-tanf0000.txt"}},
     "sys-tan0000.txt: the block holds \"<systanf>\"; its element is <systan>"},
    {"TenColumnRowsBelowFour", "3.00", 0,
     {{Edit::CopyFrom, "sys-tan0000.txt", nullptr, "sys-tanf0000.txt"}, {Edit::ReplaceAll, "sys-tan0000.txt", "systanf", "systan"}},
     "sys-tan0000.txt: row 0000 has 10 columns; the block wants 7"},
    {"RestrictionsInTheLocalForm", "4.00", -1, {},
     "hkiseino0000.txt: row 0000 holds \"@\", not a number of up to 24 digits"},
};

INSTANTIATE_TEST_SUITE_P(Rows, TamperedUploads, ::testing::ValuesIn(kTamperRows),
                         [](const auto& info) { return std::string(info.param.name); });

// Another tool holds a session (it has connected and not yet sent its request); this tool's
// connection request gets the unit's busy answer, and the link says so.
TEST_F(TransferRefusal, ASecondToolWhileASessionRunsIsToldTheUnitIsInUse) {
    const int held = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(unit_->port()));
    ::inet_pton(AF_INET, "127.0.0.2", &a.sin_addr);
    ASSERT_EQ(::connect(held, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    const int busyBefore = unit_->busyAnswerCount();

    EXPECT_EQ(transfer_.ReadPhonebook(), -1);
    const auto messages = ui_.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "主装置使用中です。");
    EXPECT_EQ(messages[0].caption, "エラー");
    EXPECT_EQ(unit_->busyAnswerCount(), busyBefore + 1);
    ::close(held);
}

}  // namespace
