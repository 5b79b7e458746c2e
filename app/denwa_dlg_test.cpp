// Rules of the phonebook write confirmation: which box edits which writeSelection entry, the
// refusal of an empty selection, and what Cancel leaves.
#include "app/denwa_dlg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "data/extension_directory.h"
#include "data/phonebook_baseline.h"
#include "data/process_state.h"
#include "data/speed_dial.h"
#include "data/system_data.h"
#include "data/template_messages.h"
#include "ui/scripted/scripted_ui.h"

namespace {

std::vector<int> selection() { return {std::begin(writeSelection), std::end(writeSelection)}; }

std::vector<int> selectionWith(std::initializer_list<int> ticked) {
  std::vector<int> s(22, 0);
  for (int i : ticked) s[i] = 1;
  return s;
}

class DenwaDlgTest : public ::testing::Test {
 protected:
  void SetUp() override { initProcessState(); }
  void TearDown() override { EXPECT_TRUE(ui.faults().empty()); }

  int run(ScriptedUi::Script script) {
    ui.onDialogOnce(kDenwaDlgId, std::move(script));
    CDenwaDlg dlg;
    return dlg.DoModal();
  }

  ScriptedUi ui;
};

TEST_F(DenwaDlgTest, TheBoxesNameTheBlocksInOrderThenExtensionsAndTemplates) {
  for (int block = 0; block < kDenwaBlockCount; ++block) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d～%04d", block * 500, block * 500 + 499);
    const ControlResource* box = kDenwaDlg.findControl(kDenwaFirstBlock + block);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->kind, ControlKind::CheckBox);
    EXPECT_EQ(box->text, text);
    EXPECT_EQ(denwaSelectionIndex(kDenwaFirstBlock + block), block);
  }
  EXPECT_EQ(kDenwaDlg.findControl(kDenwaExtensions)->text, "内線電話帳を書込する");
  EXPECT_EQ(kDenwaDlg.findControl(kDenwaTemplates)->text, "付加情報定型文を書込する");
  EXPECT_EQ(denwaSelectionIndex(kDenwaExtensions), 20);
  EXPECT_EQ(denwaSelectionIndex(kDenwaTemplates), 21);
  EXPECT_EQ(denwaSelectionIndex(kDenwaFirstBlock + 20), -1);
}

TEST_F(DenwaDlgTest, ClicksSetTheirEntriesFromTheSelectionTheBoxesOpenWith) {
  // A selection made before the dialog opens is shown, so a click never flips an entry against
  // what its box shows.
  writeSelection[5] = 1;
  EXPECT_EQ(run([](DialogDriver& d) {
              EXPECT_TRUE(d.isChecked(kDenwaFirstBlock + 5));
              EXPECT_FALSE(d.isChecked(kDenwaFirstBlock + 4));
              for (int id : {kDenwaFirstBlock, kDenwaFirstBlock + 19, kDenwaExtensions, kDenwaTemplates,
                             kDenwaFirstBlock + 7, kDenwaFirstBlock + 7, kDenwaFirstBlock + 5})
                d.click(id);
              d.click(IDOK);
            }),
            IDOK);
  EXPECT_EQ(selection(), selectionWith({0, 19, 20, 21}));
  EXPECT_TRUE(ui.messages().empty());
}

TEST_F(DenwaDlgTest, AnEmptySelectionIsRefusedAndTheDialogStaysOpen) {
  EXPECT_EQ(run([](DialogDriver& d) {
              d.click(kDenwaExtensions);
              d.click(kDenwaExtensions);  // ticked and unticked: nothing is selected
              d.pressEnter();
              EXPECT_TRUE(d.isOpen());
              d.click(kDenwaFirstBlock + 3);
              d.click(IDOK);
            }),
            IDOK);
  ASSERT_EQ(ui.messages().size(), 1u);
  const MessageBoxRecord m = ui.lastMessage();
  EXPECT_EQ(m.text, "書込対象がありません。\n【OK】ボタンをクリックして指定してください。");
  EXPECT_EQ(m.caption, "エラー");
  EXPECT_EQ(m.icon(), MB_ICONEXCLAMATION);
  EXPECT_EQ(selection(), selectionWith({3}));
}

// The marks and "変更分のみ" follow the write baseline: nothing is marked or offered before a
// read or load, nor when the tables are as read; after edits exactly the edited parts are, and
// the button replaces whatever was ticked by them.
TEST_F(DenwaDlgTest, ChangedOnlyTicksExactlyWhatDiffersFromTheBaseline) {
  auto editEntry = [](int n) {
    SpeedDialFields f{};
    std::snprintf(f.number, sizeof f.number, "03%08d", n);
    std::snprintf(f.name, sizeof f.name, "EDIT%d", n);
    f.use[0] = '1';
    f.speedDialGroup[0] = '0';
    f.speedDialGroup[1] = '1';
    ASSERT_EQ(setSpeedDialEntry(n, f), 1);
  };
  auto renameExtension = [] {
    ExtensionFields f{};
    getExtensionEntry(0, 101, f);
    std::snprintf(f.name, sizeof f.name, "ｿｳﾑ");
    ASSERT_EQ(setExtensionEntry(0, 101, f), 1);
  };
  struct Case {
    const char* what;
    bool baseline;
    std::function<void()> edit;
    std::vector<int> changed;  // writeSelection indexes
  } cases[] = {
      {"no read or load yet", false, [&] { editEntry(7); }, {}},
      {"as read", true, [] {}, {}},
      {"entries in two blocks, one twice, an extension name and a template",
       true,
       [&] {
         editEntry(1500);
         editEntry(1999);
         editEntry(9999);
         renameExtension();
         ASSERT_EQ(setTemplateMessage(5, "ﾃｲｹｲ", 1), 1);
       },
       {3, 19, 20, 21}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    initProcessState();
    initSystemData();
    if (c.baseline) phonebookBaseline().takeAll();
    c.edit();
    writeSelection[1] = 1;  // ticked before: the button unticks it unless it changed
    writeSelection[20] = 1;
    std::vector<std::string> texts;
    bool enabled = true;
    EXPECT_EQ(run([&](DialogDriver& d) {
                enabled = d.isEnabled(kDenwaChangedOnly);
                for (int i = 0; i < 22; ++i)
                  texts.push_back(d.text(i < 20 ? kDenwaFirstBlock + i
                                                : i == 20 ? kDenwaExtensions : kDenwaTemplates));
                if (enabled) d.click(kDenwaChangedOnly);
                d.click(IDCANCEL);
              }),
              IDCANCEL);
    EXPECT_EQ(enabled, !c.changed.empty());
    for (int i = 0; i < 22; ++i) {
      const bool changed = std::count(c.changed.begin(), c.changed.end(), i) > 0;
      EXPECT_EQ(texts[i].ends_with(kDenwaChangedMark), changed) << i << " " << texts[i];
    }
    if (!c.changed.empty()) {
      std::vector<int> expected(22, 0);
      for (int i : c.changed) expected[i] = 1;
      EXPECT_EQ(selection(), expected);
    }
  }
  EXPECT_TRUE(ui.messages().empty());
}

}  // namespace
