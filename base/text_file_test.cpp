#include "base/text_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/files_test_support.h"

namespace {

class TextFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(tmp_.path().empty());
    dir_ = tmp_.path();
  }
  std::string path() const { return dir_ + "/file.txt"; }
  void writeBytes(const std::string& bytes) { writeFile(path(), bytes); }
  std::string readBytes() { return readFile(path()); }
  std::vector<std::string> readLines() {
    TextFileReader reader;
    EXPECT_TRUE(reader.open(path()));
    std::vector<std::string> lines;
    std::string line;
    while (reader.readLine(line)) lines.push_back(line);
    EXPECT_TRUE(reader.atEnd());
    return lines;
  }
  TempDir tmp_{"zu_text_file"};
  std::string dir_;
};

using Lines = std::vector<std::string>;

}  // namespace

TEST(TextMode, EncodeWritesLfAsCrLf) {
  EXPECT_EQ(textModeEncode("a\nb\n"), "a\r\nb\r\n");
  EXPECT_EQ(textModeEncode("a\r\n"), "a\r\r\n");  // an existing CR is kept
  EXPECT_EQ(textModeEncode("a\rb"), "a\rb");
}

TEST(TextMode, DecodeReadsCrLfAsLfAndKeepsBareCr) {
  EXPECT_EQ(textModeDecode("a\r\nb\r\n"), "a\nb\n");
  EXPECT_EQ(textModeDecode("a\rb\r"), "a\rb\r");
  EXPECT_EQ(textModeDecode("a\r\r\n"), "a\r\n");
  EXPECT_EQ(textModeDecode("a\nb"), "a\nb");
}

TEST(TextMode, DecodeStopsAtFirst1A) {
  EXPECT_EQ(textModeDecode("a\r\nb\x1A" "c\r\n"), "a\nb");
  EXPECT_EQ(textModeDecode("\x1A" "abc"), "");
}

TEST(TextMode, RoundTripKeepsTextWithoutCr) {
  const std::string text = "\x83\x5C,\x95\x5C\n\nlast";
  EXPECT_EQ(textModeDecode(textModeEncode(text)), text);
}

TEST_F(TextFileTest, WriteTextModeFileWritesCrLf) {
  ASSERT_TRUE(writeTextModeFile(path(), "one\ntwo\n"));
  EXPECT_EQ(readBytes(), "one\r\ntwo\r\n");
}

TEST_F(TextFileTest, FileWrittenInTextModeReadsBackLineByLine) {
  const Lines lines{"\x83\x5C,\x95\x5C", "", "a\rb", std::string(70000, 'x'), "last"};
  std::string text;
  for (const std::string& l : lines) text += l + "\n";
  ASSERT_TRUE(writeTextModeFile(path(), text));
  EXPECT_EQ(readBytes(), textModeEncode(text));
  EXPECT_EQ(readLines(), lines);
  EXPECT_EQ(textModeDecode(readBytes()), text);
}

TEST_F(TextFileTest, WriteTextModeFileIntoMissingFolderFails) {
  EXPECT_FALSE(writeTextModeFile(dir_ + "/missing/file.txt", "x\n"));
}

TEST_F(TextFileTest, ReaderSplitsLinesOnLfAndCrLf) {
  writeBytes("a\r\nb\nc\r\n\r\nd");
  EXPECT_EQ(readLines(), (Lines{"a", "b", "c", "", "d"}));
}

TEST_F(TextFileTest, ReaderKeepsBareCrInsideALine) {
  writeBytes("a\rb\r\nc\r");
  EXPECT_EQ(readLines(), (Lines{"a\rb", "c\r"}));
}

TEST_F(TextFileTest, ReaderStopsAt1A) {
  writeBytes("a\r\nb\x1A" "c\r\nd\r\n");
  EXPECT_EQ(readLines(), (Lines{"a", "b"}));
  writeBytes("a\r\n\x1A" "b\r\n");
  EXPECT_EQ(readLines(), (Lines{"a"}));
}

TEST_F(TextFileTest, ReaderOfEmptyFileHasNoLines) {
  writeBytes("");
  TextFileReader reader;
  ASSERT_TRUE(reader.open(path()));
  EXPECT_TRUE(reader.atEnd());
  std::string line = "stale";
  EXPECT_FALSE(reader.readLine(line));
  EXPECT_EQ(line, "");
}

TEST_F(TextFileTest, ReaderAtEndOnlyAfterLastLine) {
  writeBytes("a\nb\n");
  TextFileReader reader;
  ASSERT_TRUE(reader.open(path()));
  std::string line;
  EXPECT_FALSE(reader.atEnd());
  ASSERT_TRUE(reader.readLine(line));
  EXPECT_FALSE(reader.atEnd());
  ASSERT_TRUE(reader.readLine(line));
  EXPECT_TRUE(reader.atEnd());
}

TEST_F(TextFileTest, ReaderOfMissingFileFails) {
  TextFileReader reader;
  EXPECT_FALSE(reader.open(dir_ + "/missing.txt"));
  std::string line;
  EXPECT_FALSE(reader.readLine(line));
  EXPECT_TRUE(reader.atEnd());
}

TEST_F(TextFileTest, ReaderCutsLongLinesIntoPieces) {
  const std::size_t piece = TextFileReader::kMaxPiece;
  const std::string longLine = std::string(piece, 'x') + std::string(10, 'y');
  writeBytes(longLine + "\r\nshort\n");
  const Lines lines = readLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], std::string(piece, 'x'));
  EXPECT_EQ(lines[1], std::string(10, 'y'));
  EXPECT_EQ(lines[2], "short");
}

TEST_F(TextFileTest, ReaderLineOfExactlyOnePieceIsOneLine) {
  const std::size_t piece = TextFileReader::kMaxPiece;
  writeBytes(std::string(piece, 'x') + "\r\n" + std::string(piece - 1, 'z') + "\r\nend");
  const Lines lines = readLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], std::string(piece, 'x'));
  EXPECT_EQ(lines[1], std::string(piece - 1, 'z'));
  EXPECT_EQ(lines[2], "end");
}

TEST_F(TextFileTest, ReaderHandlesCrLfAcrossReadChunks) {
  // The reader takes the file in pieces of a power of two; put CR and LF on both sides of such
  // boundaries and of the neighbouring bytes.
  for (std::size_t at : {std::size_t{65535}, std::size_t{65534}, std::size_t{65536}}) {
    const std::string first(at, 'x');
    writeBytes(first + "\r\nb\r\n");
    EXPECT_EQ(readLines(), (Lines{first, "b"})) << at;
  }
}
