// Rules of the file-kind chooser: each button runs the load or save of its kind and leaves the
// dialog open with the focus back on it; loads of the speed dial and the extension phonebook
// retake the phonebook snapshot, a template load does not.
#include "app/file_select_dlg.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/platform.h"
#include "data/phonebook_tables.h"
#include "data/phonebook_test_tables.h"
#include "ui/scripted/scripted_ui.h"

using namespace phonebook_test;

namespace {

constexpr int kButtons[] = {kFileSelectSpeedDial, kFileSelectExtensions, kFileSelectTemplates};

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
  // Presses button `id` with `path` as the file dialog's answer.
  void press(DialogDriver& d, int id, const std::string& path) {
    ui.answerFile(path);
    d.click(id);
  }

  ScriptedUi ui;
  TempDir dir;
};

TEST_F(FileSelectDlgTest, EachButtonRunsItsKindInTheDirectionAndStaysOpen) {
  const char* extensions[] = {"zud8", "zud4", "zud9"};
  for (int direction : {0, 1}) {
    ui.clearRecords();
    choose(direction, [&](DialogDriver& d) {
      for (int k = 0; k < 3; ++k) {
        ui.answerFile(std::nullopt);
        d.click(kButtons[k]);
        EXPECT_EQ(fileKind, k + 1);
        EXPECT_EQ(d.focus(), kButtons[k]);
        EXPECT_TRUE(d.isOpen());
        EXPECT_TRUE(d.isEnabled(kButtons[k])) << "the file operation gives its buttons back";
      }
    });
    const std::vector<FileDialogRecord> shown = ui.fileDialogs();
    ASSERT_EQ(shown.size(), 3u);
    for (int k = 0; k < 3; ++k) {
      EXPECT_EQ(shown[k].request.open, direction == 0);
      EXPECT_EQ(shown[k].request.defaultExt, extensions[k]);
    }
  }
  EXPECT_TRUE(ui.messages().empty());
}

TEST_F(FileSelectDlgTest, LoadsOfSpeedDialAndExtensionsRetakeTheSnapshotTemplatesDoNot) {
  fillFixtureTables();
  choose(1, [&](DialogDriver& d) {
    press(d, kFileSelectSpeedDial, dir.file("book.zud8"));
    press(d, kFileSelectExtensions, dir.file("names.zud4"));
    press(d, kFileSelectTemplates, dir.file("templates.zud9"));
  });
  startUp();
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
  EXPECT_TRUE(ui.messages().empty());
}

}  // namespace
