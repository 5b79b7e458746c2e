// Rules of the file dialogs: filter parsing, the default extension, the parts of the chosen path.
#include "ui/file_dialog.h"

#include <gtest/gtest.h>

#include "ui/scripted/scripted_ui.h"

namespace {

TEST(FileFilterTest, ParsesLabelPatternPairsByteForByteUpToTheEndingBar) {
  auto pairs = parseFileFilter(" zud8ﾌｧｲﾙ(*.zud8)|*.zud8|zud3ﾌｧｲﾙ(*.zud3)|*.zud3|csvﾌｧｲﾙ(*.csv)|*.csv|");
  ASSERT_EQ(pairs.size(), 3u);
  EXPECT_EQ(pairs[0].label, " zud8ﾌｧｲﾙ(*.zud8)");  // the leading blank stays
  EXPECT_EQ(pairs[0].pattern, "*.zud8");
  EXPECT_EQ(pairs[1].label, "zud3ﾌｧｲﾙ(*.zud3)");
  EXPECT_EQ(pairs[2].pattern, "*.csv");
}

TEST(FileFilterTest, StopsAtAnEmptyPairAndDropsALabelWithoutPattern) {
  auto pairs = parseFileFilter("a(*.a)|*.a||b(*.b)|*.b|");
  ASSERT_EQ(pairs.size(), 1u);
  EXPECT_EQ(pairs[0].pattern, "*.a");
  EXPECT_TRUE(parseFileFilter("").empty());
  EXPECT_TRUE(parseFileFilter("label only").empty());
  auto unended = parseFileFilter("a|*.a;*.b");
  ASSERT_EQ(unended.size(), 1u);
  EXPECT_EQ(unended[0].pattern, "*.a;*.b");
}

TEST(FileFilterTest, TheDefaultExtensionIsAppendedOnlyToANameWithoutOne) {
  EXPECT_EQ(applyDefaultExtension("/home/u/book", "zud8"), "/home/u/book.zud8");
  EXPECT_EQ(applyDefaultExtension("/home/u/book.csv", "zud8"), "/home/u/book.csv");
  EXPECT_EQ(applyDefaultExtension("/home/u.v/book", "zud8"), "/home/u.v/book.zud8");
  EXPECT_EQ(applyDefaultExtension("/home/u/.book", "zud8"), "/home/u/.book.zud8");
  EXPECT_EQ(applyDefaultExtension("/home/u/book", ""), "/home/u/book");
  EXPECT_EQ(applyDefaultExtension("/home/u/", "zud8"), "/home/u/");
}

class FileDialogTest : public ::testing::Test {
 protected:
  ScriptedUi ui;
};

TEST_F(FileDialogTest, ASaveDialogRecordsItsRequestAndAddsTheDefaultExtension) {
  ui.answerFile("/data/電話帳");
  CFileDialog dlg(false, "zud8", "", OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                  " zud8ﾌｧｲﾙ(*.zud8)|*.zud8|csvﾌｧｲﾙ(*.csv)|*.csv|");
  dlg.SetTitle("ファイルの保存");
  ASSERT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(dlg.GetPathName(), "/data/電話帳.zud8");
  EXPECT_EQ(dlg.GetFileName(), "電話帳.zud8");
  EXPECT_EQ(dlg.GetFileExt(), "zud8");
  EXPECT_EQ(dlg.GetFileTitle(), "電話帳");
  EXPECT_EQ(dlg.GetFolderPath(), "/data");

  auto shown = ui.fileDialogs();
  ASSERT_EQ(shown.size(), 1u);
  const FileDialogRequest& r = shown[0].request;
  EXPECT_FALSE(r.open);
  EXPECT_EQ(r.title, "ファイルの保存");
  EXPECT_EQ(r.defaultExt, "zud8");
  EXPECT_EQ(r.flags, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT);
  ASSERT_EQ(r.filters.size(), 2u);
  EXPECT_EQ(r.filters[1].label, "csvﾌｧｲﾙ(*.csv)");
}

TEST_F(FileDialogTest, CancelAndAnUnexpectedDialogBothGiveCancel) {
  ui.answerFile(std::nullopt);
  CFileDialog open(true, "zud4", nullptr, OFN_HIDEREADONLY, " zud4ﾌｧｲﾙ(*.zud4)|*.zud4|");
  EXPECT_EQ(open.DoModal(), IDCANCEL);
  EXPECT_EQ(open.GetPathName(), "");
  EXPECT_TRUE(ui.faults().empty());

  EXPECT_EQ(open.DoModal(), IDCANCEL);  // nothing queued
  EXPECT_EQ(ui.faults().size(), 1u);
}

TEST_F(FileDialogTest, PathPartsOfAFileInTheRootAndWithoutFolder) {
  ui.answerFile("/book.csv");
  ui.answerFile("book.tar.gz");
  CFileDialog dlg(true);
  ASSERT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(dlg.GetFolderPath(), "/");
  EXPECT_EQ(dlg.GetFileExt(), "csv");
  ASSERT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(dlg.GetFolderPath(), "");
  EXPECT_EQ(dlg.GetFileExt(), "gz");
  EXPECT_EQ(dlg.GetFileTitle(), "book.tar");
}

}  // namespace
