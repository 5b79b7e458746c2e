// Rules of the phonebook write confirmation: which box edits which writeSelection entry, the
// refusal of an empty selection, and what Cancel leaves.
#include "app/denwa_dlg.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "data/process_state.h"
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

}  // namespace
