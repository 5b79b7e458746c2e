// The read workflows when a downloaded file is gone by the time the workflow takes the files in
// (removed from the work folder after the link wrote it): the file error is shown instead of the
// success message and no table changes.
#include "app/communication_workflow.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/history_workflow.h"
#include "app/ip_addr_inp_dlg.h"
#include "app/phonebook_workflows.h"
#include "app/restriction_workflows.h"
#include "base/files_test_support.h"
#include "data/call_history.h"
#include "data/phonebook_records.h"
#include "data/process_state.h"
#include "data/restriction_table.h"
#include "data/system_data.h"
#include "link/link_test_support.h"
#include "mainunit/simulator.h"
#include "ui/scripted/scripted_ui.h"

namespace {

template <class T>
std::string bytesOf(const T& table) {
  return std::string(reinterpret_cast<const char*>(&table), sizeof table);
}

std::string allTables() {
  return bytesOf(phonebookImage) + bytesOf(templateMessages) + bytesOf(restrictionTable) +
         bytesOf(internalHistory) + bytesOf(externalHistory);
}

// Removes `name` from the link's work folder when the link posts 100 %: its last file is then
// written and the workflow has not yet taken the files in.
class RemovingUi : public ScriptedUi {
 public:
  RemovingUi(const CTCPFileTransfer& link, std::string name) : m_link(link), m_name(name) {}
  void messagePosted(const PostRecord& record) override {
    ScriptedUi::messagePosted(record);
    if (record.msg == kSetPercentMessage && record.wParam == 100)
      m_removed = std::remove((m_link.GetWorkDir() + "/" + m_name).c_str()) == 0 || m_removed;
  }
  bool removed() const { return m_removed; }

 private:
  const CTCPFileTransfer& m_link;
  std::string m_name;
  bool m_removed = false;
};

TEST(ReceivedFiles, AFileMissingAfterTheDownloadIsTheFileErrorAndNoTableChanges) {
  SimulatorOptions o;
  o.listenAddress = "127.0.0.3";
  o.port = 0;
  o.pacing = false;
  o.dataDir = "";
  o.toolPortFirst = freeLoopbackPorts(5);
  o.ioTimeoutMs = 3000;
  MainUnitSimulator unit(o);
  ASSERT_TRUE(unit.start());
  const struct {
    WorkflowOutcome (*workflow)(WorkflowSite&);
    const char* removed;
  } cases[] = {{runPhonebookRead, "naisen.txt"},
               {runPhonebookRead, "usertkbn.txt"},
               {runHistoryRead, "gaityaklog.txt"},
               {runRestrictionRead, "hkiseino.txt"}};
  for (const auto& c : cases) {
    initProcessState();
    initSystemData();
    useTestTiming(std::chrono::milliseconds(2000));
    CTCPFileTransfer link(nullptr);
    link.SetListenPort(o.toolPortFirst);
    RemovingUi ui(link, c.removed);
    ui.onDialog(kIPAddrInpDlgId, [](DialogDriver& d) {
      d.setText(kIPAddrInpHost, "127.0.0.3");
      d.setText(kIPAddrInpPassword, "7351");
      d.click(IDOK);
    });
    TempDir work;
    WorkflowSite site{link, nullptr, 0, work.path(), 1, unit.port(), {}};
    const std::string before = allTables();
    EXPECT_EQ(c.workflow(site), WorkflowOutcome::Failed) << c.removed;
    EXPECT_TRUE(ui.removed()) << c.removed;
    EXPECT_EQ(ui.lastMessage().text, "\nファイルデータ取得エラー発生\n") << c.removed;
    EXPECT_EQ(ui.lastMessage().caption, "エラー");
    EXPECT_TRUE(allTables() == before) << c.removed << ": a table changed";
    EXPECT_TRUE(ui.faults().empty());
    unit.waitForSessions(unit.sessionCount(), std::chrono::seconds(3));
  }
  resetLinkTiming();
}

}  // namespace
