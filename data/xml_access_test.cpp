#include "data/xml_access.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "base/files_test_support.h"

namespace {

class XmlAccessTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_FALSE(m_tmp.path().empty());
    m_dir = m_tmp.path();
  }

  std::string write(const std::string& name, const std::string& bytes) {
    std::string path = m_dir + "/" + name;
    writeFile(path, bytes);
    return path;
  }

  TempDir m_tmp{"zu_xml"};
  std::string m_dir;
};

// The head of a tagged local file up to the opening data tag, as the local save writes it.
std::string taggedHead(const std::string& element) {
  std::string user(190, ' ');
  user.replace(0, 12, "202401020304");
  user[12] = user[37] = user[62] = user[87] = user[112] = user[185] = ',';
  return "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n<root>\r\n<CHECK>\r\n20240102\r\n"
         "</CHECK>\r\n<USER>\r\n" + user + "\r\n</USER>\r\n<" + element + ">\r\n";
}

TEST_F(XmlAccessTest, MissingFileFailsTheLoad) {
  CXMLAccess xml;
  EXPECT_FALSE(xml.Load(m_dir + "/absent.xml"));
  EXPECT_EQ(xml.GetElements("root").Length(), 0);
}

TEST_F(XmlAccessTest, MalformedDocumentsFailTheLoad) {
  const std::string bad[] = {"", "plain text, no markup", "<root><a></b></root>", "<root>",
                             "<a/><b/>", "<root a=1/>", std::string("<root>\0</root>", 14)};
  for (const std::string& text : bad) {
    CXMLAccess xml;
    EXPECT_FALSE(xml.Load(write("bad.xml", text))) << text;
    EXPECT_EQ(xml.GetElements("root").Length(), 0) << text;
  }
}

TEST_F(XmlAccessTest, PathLongerThan260BytesFailsEvenWhenTheFileExists) {
  std::string dir = m_dir;
  while (dir.size() < 250) {
    dir += "/dddddddddddddddddddddddddddddd";
    ASSERT_EQ(::mkdir(dir.c_str(), 0700), 0);
  }
  std::string path = dir + "/long-name-document.xml";
  ASSERT_GT(path.size(), 260u);
  writeFile(path, "<root/>");
  CXMLAccess xml;
  EXPECT_FALSE(xml.Load(path));
}

TEST_F(XmlAccessTest, ElementsComeInDocumentOrderAtAnyDepth) {
  CXMLAccess xml;
  ASSERT_TRUE(xml.Load(write("a.xml", "<root><x>1</x><g><x>2<x>3</x></x></g><x>4</x></root>")));
  CXMLElementList list = xml.GetElements("x");
  ASSERT_EQ(list.Length(), 4);
  EXPECT_EQ(list.Item(0).TextContent(), "1");
  EXPECT_EQ(list.Item(1).TextContent(), "23");
  EXPECT_EQ(list.Item(2).TextContent(), "3");
  EXPECT_EQ(list.Item(3).TextContent(), "4");
  EXPECT_FALSE(list.Item(4).IsValid());
  EXPECT_FALSE(list.Item(-1).IsValid());
  EXPECT_EQ(list.Item(4).TextContent(), "");
  EXPECT_EQ(xml.GetElements("absent").Length(), 0);
}

TEST_F(XmlAccessTest, ShiftJisBytesPassThroughAndLineEndsBecomeLf) {
  // "電話" in CP932 with a trail byte 0x5C, then CR LF, lone CR and LF line ends.
  std::string text = "\x93\x64\x98\x62\x95\x5C\r\nA\rB\nC";
  CXMLAccess xml;
  ASSERT_TRUE(xml.Load(write("sjis.xml",
                             "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n<root><t>" + text +
                                 "</t></root>")));
  EXPECT_EQ(xml.GetElements("t").Item(0).TextContent(), "\x93\x64\x98\x62\x95\x5C\nA\nB\nC");
}

TEST_F(XmlAccessTest, ListsStayValidAfterTheAccessIsGone) {
  CXMLElementList list;
  {
    CXMLAccess xml;
    ASSERT_TRUE(xml.Load(write("a.xml", "<root><v>kept</v></root>")));
    list = xml.GetElements("v");
  }
  ASSERT_EQ(list.Length(), 1);
  EXPECT_EQ(list.Item(0).TextContent(), "kept");
}

TEST_F(XmlAccessTest, RestrictionRowsTextStartsWithTheFirstRow) {
  std::string file = taggedHead("m018") + "0000@0312345678,\n0001@,\n0002@99,\n</m018>\r\n</root>";
  CXMLAccess xml;
  ASSERT_TRUE(xml.Load(write("r.zud7", file)));
  CXMLElementList list = xml.GetElements("m018");
  ASSERT_EQ(list.Length(), 1);
  EXPECT_TRUE(list.Item(0).HasChild());
  EXPECT_EQ(list.Item(0).FirstChildText(), "0000@0312345678,\n0001@,\n0002@99,");
  EXPECT_EQ(xml.GetElements("USER").Item(0).FirstChildText().substr(0, 13), "202401020304,");
}

TEST_F(XmlAccessTest, SpeedDialRowsEndingInLoneCrComeBackAsLfRows) {
  std::string file = taggedHead("systanf") + "0000,03,A,,1,01,0,0,000,000,\r" +
                     "0001,,,,0,01,0,0,000,000\r</systanf>\r\n</root>";
  CXMLAccess xml;
  ASSERT_TRUE(xml.Load(write("s.zud8", file)));
  EXPECT_EQ(xml.GetElements("systanf").Item(0).FirstChildText(),
            "0000,03,A,,1,01,0,0,000,000,\n0001,,,,0,01,0,0,000,000");
}

TEST_F(XmlAccessTest, DownloadElementTextIsTrimmedAtBothEnds) {
  CXMLAccess xml;
  ASSERT_TRUE(xml.Load(write("d.xml", "<root><m018>\n\n0000@1,\n\n0001@,\n\n \t</m018></root>")));
  EXPECT_EQ(xml.GetElements("m018").Item(0).FirstChildText(), "0000@1,\n\n0001@,");
}

TEST_F(XmlAccessTest, ElementWithOnlyWhiteSpaceHasNoChild) {
  CXMLAccess xml;
  ASSERT_TRUE(xml.Load(write("e.xml", "<root><m018>\r\n</m018><b><c>x</c></b></root>")));
  EXPECT_FALSE(xml.GetElements("m018").Item(0).HasChild());
  EXPECT_EQ(xml.GetElements("m018").Item(0).FirstChildText(), "");
  EXPECT_EQ(xml.GetElements("b").Item(0).FirstChildText(), "x");
}

TEST_F(XmlAccessTest, DeeplyNestedDocumentDoesNotExhaustTheStack) {
  std::string doc;
  const int depth = 200000;
  for (int i = 0; i < depth; ++i) doc += "<a>";
  doc += "x";
  for (int i = 0; i < depth; ++i) doc += "</a>";
  CXMLAccess xml;
  ASSERT_TRUE(xml.Load(write("deep.xml", doc)));
  CXMLElementList list = xml.GetElements("a");
  EXPECT_EQ(list.Length(), depth);
  EXPECT_EQ(list.Item(0).TextContent(), "x");
}

}  // namespace
