// Rules of the host/password dialog: the checks in their order with their messages, the field
// limits, what reaches the link on OK, and that nothing is remembered between showings.
#include "app/ip_addr_inp_dlg.h"

#include <gtest/gtest.h>

#include <string>

#include "link/tcp_file_transfer.h"
#include "ui/scripted/scripted_ui.h"

namespace {

// A link that is never run; the test reads what the dialog stored in it.
class LinkProbe : public CTCPFileTransfer {
 public:
  LinkProbe() : CTCPFileTransfer(nullptr) { SetHost("untouched", 1); SetPassword("untouched"); }
  const std::string& host() const { return m_host; }
  int port() const { return m_port; }
  const std::string& password() const { return m_password; }
};

std::string repeat(std::string_view s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

class IPAddrInpDlgTest : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_TRUE(ui.faults().empty()); }

  // Types both entries and presses OK; when OK is refused, cancels. Returns the result.
  int enter(CIPAddrInpDlg& dlg, std::string_view host, std::string_view password) {
    ui.onDialogOnce(kIPAddrInpDlgId, [&](DialogDriver& d) {
      d.setText(kIPAddrInpHost, host);
      d.setText(kIPAddrInpPassword, password);
      d.click(IDOK);
      stillOpenAfterOK = d.isOpen();
      if (d.isOpen()) d.click(IDCANCEL);
    });
    return dlg.DoModal();
  }

  ScriptedUi ui;
  LinkProbe link;
  bool stillOpenAfterOK = false;
};

TEST_F(IPAddrInpDlgTest, EachCheckRefusesWithItsMessageInOrder) {
  struct Case {
    const char* host;
    const char* password;
    const char* message;
  };
  const Case cases[] = {
      {"", "ａ", "\nホスト名または、IPアドレスを入力してください。\n"},  // the host comes first
      {"", "7351", "\nホスト名または、IPアドレスを入力してください。\n"},
      {"主装置", "", "\nホスト名は半角英数字で入力してください。\n"},
      {"192.168.0.１", "7351", "\nホスト名は半角英数字で入力してください。\n"},
      {"unit-\xF0\x9F\x93\x9E", "7351", "\nホスト名は半角英数字で入力してください。\n"},  // not in CP932
      {"192.168.0.10", "", "パスワードを入力してください。"},
      {"192.168.0.10", "735", "パスワードを入力してください。"},
      {"192.168.0.10", "ａ", "パスワードを入力してください。"},  // two bytes are too short
      {"192.168.0.10", "73５1", "パスワードは半角英数字で入力してください。"},
  };
  for (const Case& c : cases) {
    ui.clearRecords();
    CIPAddrInpDlg dlg(link);
    EXPECT_EQ(enter(dlg, c.host, c.password), IDCANCEL) << c.host << " / " << c.password;
    EXPECT_TRUE(stillOpenAfterOK) << c.host << " / " << c.password;
    ASSERT_EQ(ui.messages().size(), 1u) << c.host << " / " << c.password;
    const MessageBoxRecord m = ui.lastMessage();
    EXPECT_EQ(m.text, c.message) << c.host << " / " << c.password;
    EXPECT_EQ(m.caption, "エラー");
    EXPECT_EQ(m.icon(), MB_ICONEXCLAMATION);
    EXPECT_EQ(m.buttons(), MB_OK);
    EXPECT_EQ(m.owner, &dlg);
  }
  EXPECT_EQ(link.host(), "untouched");
  EXPECT_EQ(link.password(), "untouched");
}

TEST_F(IPAddrInpDlgTest, OKStoresHostPort9000AndPasswordInTheLinkCutToTheFieldLimits) {
  struct Case {
    std::string host, password, storedPassword;
  };
  const Case cases[] = {{"192.168.10.254", "7351", "7351"},
                        {"pbx-2.office.example", "ｱｲｳｴ", "\xB1\xB2\xB3\xB4"},  // CP932 bytes
                        {repeat("h", 65), repeat("p", 17), repeat("p", 16)}};
  for (const Case& c : cases) {
    CIPAddrInpDlg dlg(link);
    EXPECT_EQ(enter(dlg, c.host, c.password), IDOK) << c.host;
    EXPECT_EQ(dlg.Host(), c.host.substr(0, 64));
    EXPECT_EQ(link.host(), c.host.substr(0, 64));
    EXPECT_EQ(link.port(), 9000);
    EXPECT_EQ(link.password(), c.storedPassword);
  }
  EXPECT_TRUE(ui.messages().empty());
  EXPECT_TRUE(kIPAddrInpDlg.findControl(kIPAddrInpPassword)->options.password);
}

TEST_F(IPAddrInpDlgTest, EveryShowingStartsEmptyAndCancelLeavesTheLinkAlone) {
  CIPAddrInpDlg dlg(link);
  ASSERT_EQ(enter(dlg, "10.0.0.1", "7351"), IDOK);
  CIPAddrInpDlg fresh(link);
  for (CIPAddrInpDlg* shown : {&dlg, &fresh}) {
    ui.onDialogOnce(kIPAddrInpDlgId, [](DialogDriver& d) {
      EXPECT_EQ(d.text(kIPAddrInpHost), "");
      EXPECT_EQ(d.text(kIPAddrInpPassword), "");
      // The limit counts characters: 65 full-width letters keep 64 (then OK would refuse them).
      d.setText(kIPAddrInpHost, repeat("ａ", 65));
      EXPECT_EQ(d.text(kIPAddrInpHost), repeat("ａ", 64));
      d.pressEscape();
    });
    EXPECT_EQ(shown->DoModal(), IDCANCEL);
  }
  EXPECT_EQ(link.host(), "10.0.0.1");
  EXPECT_TRUE(ui.messages().empty());
}

}  // namespace
