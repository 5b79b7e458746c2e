// Rules of the file-kind chooser: each button runs the load or save of its kind and leaves the
// dialog open with the focus back on it; loads of the speed dial and the extension phonebook
// retake the phonebook snapshot, a template load does not.
#include "app/file_select_dlg.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/platform.h"
#include "data/phonebook_tables.h"
#include "data/phonebook_tables_test_support.h"
#include "ui/scripted/scripted_ui.h"

using namespace phonebook_test;

namespace {

bool snapshotIsLive() {
  return std::memcmp(&baselineImage, &phonebookImage, sizeof phonebookImage) == 0 &&
         std::memcmp(&referenceImage, &phonebookImage, sizeof phonebookImage) == 0;
}

class FileSelectDlgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    startUp();
    setLocalTimeForTesting(kFixtureTime);
  }
  void TearDown() override {
    setLocalTimeForTesting(std::nullopt);
    EXPECT_TRUE(ui.faults().empty());
  }

  // Opens the chooser in `direction`, runs `script` in it, then closes it with キャンセル.
  void choose(int direction, const std::function<void(DialogDriver&)>& script) {
    fileDirection = direction;
    ui.onDialogOnce(kFileSelectDlgId, [&](DialogDriver& d) {
      script(d);
      d.click(IDCANCEL);
    });
    CFileSelectDlg dlg;
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  }
  // Presses button `id` with `path` as the file dialog's answer; the chooser must stay open with
  // the kind chosen and the focus back on the button.
  void press(DialogDriver& d, int id, const std::string& path) {
    ui.answerFile(path);
    d.click(id);
    static constexpr ExchangeKind kKinds[] = {ExchangeKind::SpeedDial, ExchangeKind::Extensions,
                                              ExchangeKind::Templates};
    EXPECT_EQ(fileKind, kKinds[id - kFileSelectSpeedDial]);
    EXPECT_EQ(d.focus(), id);
    EXPECT_TRUE(d.isOpen());
    EXPECT_TRUE(d.isEnabled(id)) << "the file operation gives its buttons back";
  }
  // The direction (true = open) and default extension of every file dialog shown so far.
  std::vector<std::pair<bool, std::string>> fileDialogs() const {
    std::vector<std::pair<bool, std::string>> out;
    for (const FileDialogRecord& r : ui.fileDialogs()) out.push_back({r.request.open, r.request.defaultExt});
    return out;
  }

  ScriptedUi ui;
  TempDir dir;
};

TEST_F(FileSelectDlgTest, ButtonsRunTheirKindAndLoadsOfSpeedDialAndExtensionsRetakeTheSnapshot) {
  fillFixtureTables();
  choose(1, [&](DialogDriver& d) {
    press(d, kFileSelectSpeedDial, dir.file("book.zud8"));
    press(d, kFileSelectExtensions, dir.file("names.zud4"));
    press(d, kFileSelectTemplates, dir.file("templates.zud9"));
  });
  EXPECT_EQ(fileDialogs(), (std::vector<std::pair<bool, std::string>>{
                               {false, "zud8"}, {false, "zud4"}, {false, "zud9"}}));
  startUp();
  ui.clearRecords();
  ASSERT_EQ(setSpeedDial(42, "0312345678", "未保存", "ﾐﾎｿﾞﾝ", "1", "01", 1, 0, 0, 0), 1);
  ASSERT_FALSE(snapshotIsLive());
  choose(0, [&](DialogDriver& d) {
    press(d, kFileSelectTemplates, dir.file("templates.zud9"));
    EXPECT_FALSE(snapshotIsLive()) << "a template load takes no snapshot";
    press(d, kFileSelectSpeedDial, dir.file("book.zud8"));
    EXPECT_TRUE(snapshotIsLive());
    ASSERT_EQ(setSpeedDial(43, "0312345679", "未保存", "ﾐﾎｿﾞﾝ", "1", "01", 1, 0, 0, 0), 1);
    press(d, kFileSelectExtensions, dir.file("names.zud4"));
    EXPECT_TRUE(snapshotIsLive());
  });
  EXPECT_EQ(fileDialogs(), (std::vector<std::pair<bool, std::string>>{
                               {true, "zud9"}, {true, "zud8"}, {true, "zud4"}}));
  EXPECT_TRUE(ui.messages().empty());
}

}  // namespace
