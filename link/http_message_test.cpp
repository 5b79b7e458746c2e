#include <gtest/gtest.h>
#include <sys/socket.h>

#include <string>

#include "base/ascii_text.h"
#include "link/encode.h"
#include "link/http_data.h"
#include "link/link_test_support.h"
#include "link/tcp_file_transfer.h"
#include "link/transfer_names.h"
#include "ui/scripted/scripted_ui.h"

namespace {

// Opens the message-layer state of the transfer object to the tests.
class TransferProbe : public CTCPFileTransfer {
public:
    TransferProbe() : CTCPFileTransfer(nullptr) { m_http = std::make_unique<CHttpData>(); }
    using CTCPFileTransfer::keyMaterial;
    using CTCPFileTransfer::m_control;
    using CTCPFileTransfer::m_currentFile;
    using CTCPFileTransfer::m_host;
    using CTCPFileTransfer::m_http;
    using CTCPFileTransfer::m_method;
    using CTCPFileTransfer::m_path;
    using CTCPFileTransfer::m_phase;
    using CTCPFileTransfer::m_status;
    using CTCPFileTransfer::m_unitPassword;
};

class MessageLayer : public ::testing::Test {
protected:
    void SetUp() override { useTestTiming(); }
    // The bytes SendStatus puts on the wire (a stream without a key sends them plain).
    std::string statusBytes(int code) {
        StreamPair pair;
        EXPECT_TRUE(pair.open());
        EXPECT_TRUE(t.SendStatus(code, pair.stream));
        pair.stream.close();
        return pair.rawRecv(4096);
    }
    TransferProbe t;
};

TEST_F(MessageLayer, ConnectionRequestIsTheRequestLineAndThePlainKey) {
    for (int i = 0; i < 64; ++i) t.keyMaterial[i] = static_cast<unsigned char>(i * 4 + 10);
    std::string text;
    EXPECT_EQ(t.BuildRequest(1, text), 1);
    std::string hex;
    for (int i = 0; i < 64; ++i) {
        char h[8];
        std::snprintf(h, sizeof h, "%02X", static_cast<unsigned>((i * 4 + 10) & 0xFF));
        hex += h;
    }
    EXPECT_EQ(text, "GET /connection.xml HTTP/1.1\r\nCryptoKey: " + hex + "\r\n");
    EXPECT_EQ(hex.size(), 128u);
}

TEST_F(MessageLayer, DataRequestsCarryHostAndTheBareBase64Password) {
    t.m_currentFile = "sys-tanf.txt";
    t.m_host = "PBX-Office.example";
    t.m_unitPassword = "7351";
    std::string text;
    t.BuildRequest(5, text);
    EXPECT_EQ(text, "GET /sys-tanf.txt HTTP/1.1\r\nHost: PBX-Office.example\r\n");
    t.BuildRequest(3, text);
    EXPECT_EQ(text, "GET /sys-tanf.txt HTTP/1.1\r\nHost: PBX-Office.example\r\nAuthorization: NzM1MQ==\r\n");
}

TEST_F(MessageLayer, RefusalsCarryTheValueLineHeadOfKindFive) {
    EXPECT_EQ(statusBytes(401),
              "HTTP/1.1 401 Unauthorized\r\nAccept-Encoding:\r\ngzip, deflate\r\n"
              "Connection: Keep-Alive\r\nContent-Length: 0\r\n\r\n");
    EXPECT_EQ(statusBytes(999).substr(0, 36), "HTTP/1.1 500 Internal Server Error\r\n");
}

TEST_F(MessageLayer, OkCarriesTheBodyLengthOrAnEmptyLengthLine) {
    t.m_phase = 3;
    t.m_http->contentLength = 1234;
    EXPECT_EQ(statusBytes(200),
              "HTTP/1.1 200 OK\r\nAccept-Encoding: gzip, deflate\r\nConnection: Keep-Alive\r\n"
              "Content-Length: 1234\r\n\r\n");
    t.m_phase = 2;
    t.m_http->contentLength = -1;
    EXPECT_EQ(statusBytes(200),
              "HTTP/1.1 200 OK\r\nAccept-Encoding: gzip, deflate\r\nConnection: Keep-Alive\r\n"
              "Content-Length: \r\n\r\n");
}

TEST_F(MessageLayer, StatusLineNeedsACodeAndAReasonPhrase) {
    EXPECT_TRUE(t.ParseStatusLine("HTTP/1.1 404 Not Found"));
    EXPECT_EQ(t.m_status, 404);
    EXPECT_EQ(t.StatusClass(), 4);
    EXPECT_FALSE(t.ParseStatusLine("HTTP/1.1 200"));
    EXPECT_EQ(t.m_status, -1);
    EXPECT_FALSE(t.ParseStatusLine("HTTP/1.1 20"));
    EXPECT_FALSE(t.ParseStatusLine("garbage"));
    EXPECT_FALSE(t.ParseStatusLine(""));
    EXPECT_TRUE(t.ParseStatusLine("HTTP/1.1 abc x"));
    EXPECT_EQ(t.StatusClass(), -1);
    // A code beyond any integer does not overflow.
    EXPECT_TRUE(t.ParseStatusLine("HTTP/1.1 99999999999999999999 X"));
    EXPECT_EQ(t.StatusClass(), -1);
}

TEST_F(MessageLayer, StatusClassBoundaries) {
    const std::pair<int, int> cases[] = {{-1, -1}, {99, -1}, {100, 1}, {199, 1}, {200, 2}, {299, 2},
                                         {300, 3}, {401, 4}, {599, 5}, {600, -1}};
    for (auto [status, cls] : cases) {
        t.m_status = status;
        EXPECT_EQ(t.StatusClass(), cls) << status;
    }
}

TEST_F(MessageLayer, AnswerHeadersAreRecognisedWhateverTheirCaseAndSpacing) {
    t.m_phase = 1;
    EXPECT_EQ(t.ParseHeaderLine("content-length :   25  "), 0);
    EXPECT_EQ(t.m_http->contentLength, 25);
    EXPECT_EQ(t.m_http->contentLengthText, "25");
    EXPECT_EQ(t.ParseHeaderLine("Server: ZPX main unit"), 0);
    EXPECT_EQ(t.m_http->server, "ZPX main unit");
    EXPECT_EQ(t.ParseHeaderLine("Title:x"), 0);
    EXPECT_EQ(t.m_http->title, "x");
    EXPECT_EQ(t.ParseHeaderLine("X-Other: 1"), 1);
    EXPECT_EQ(t.ParseHeaderLine("no colon here"), 1);
    EXPECT_EQ(t.ParseHeaderLine(": starts with colon"), 1);
    // Request headers mean nothing in the connection answer.
    EXPECT_EQ(t.ParseHeaderLine("Host: a"), 1);
    t.m_phase = 3;
    EXPECT_EQ(t.ParseHeaderLine("Host: a"), 0);
    EXPECT_EQ(t.m_http->host, "a");
    EXPECT_EQ(t.ParseHeaderLine("Server: s"), 1);
}

TEST_F(MessageLayer, ContentLengthOfTenOrMoreCharactersCountsAsNotGiven) {
    t.m_phase = 1;
    t.ParseHeaderLine("Content-Length: 999999999");
    EXPECT_EQ(t.m_http->contentLength, 999999999);
    t.ParseHeaderLine("Content-Length: 1000000000");
    EXPECT_EQ(t.m_http->contentLength, -1);
    t.ParseHeaderLine("Content-Length: 99999999999999999999");
    EXPECT_EQ(t.m_http->contentLength, -1);
    t.ParseHeaderLine("Content-Length: -5");
    EXPECT_EQ(t.m_http->contentLength, -5);
    t.ParseHeaderLine("Content-Length: 7");
    t.ParseHeaderLine("Content-Length:");
    EXPECT_EQ(t.m_http->contentLength, 7);  // an empty value leaves the length alone
}

TEST_F(MessageLayer, BasicCredentialsAreDecodedAndOthersRefused) {
    t.m_phase = 2;
    t.m_unitPassword = "7351";
    EXPECT_EQ(t.ParseHeaderLine("Authorization: Basic " + CEncode::Base64Encode(":7351")), 0);
    EXPECT_EQ(t.m_http->authorization, ":7351");
    EXPECT_TRUE(t.CheckCredentials(t.m_http->authorization));
    EXPECT_EQ(t.ParseHeaderLine("authorization: BASIC    " + CEncode::Base64Encode("73:51")), 0);
    EXPECT_TRUE(t.CheckCredentials(t.m_http->authorization));
    EXPECT_EQ(t.ParseHeaderLine("Authorization: Digest abc"), -1);
    EXPECT_EQ(t.m_http->authorization, "Digest abc");
    EXPECT_FALSE(t.CheckCredentials(t.m_http->authorization));
}

TEST_F(MessageLayer, CredentialsMustMatchExactly) {
    t.m_unitPassword = "Ab12";
    EXPECT_FALSE(t.CheckCredentials(""));
    EXPECT_TRUE(t.CheckCredentials(":Ab12"));
    EXPECT_TRUE(t.CheckCredentials("Ab:12"));
    EXPECT_FALSE(t.CheckCredentials(":ab12"));
    EXPECT_FALSE(t.CheckCredentials(":Ab123"));
}

TEST_F(MessageLayer, KeepAliveOfEitherConnectionSetsItOnTheControlConnection) {
    ASSERT_TRUE(t.m_control.socket().open());
    t.m_phase = 3;
    EXPECT_EQ(t.ParseHeaderLine("Connection: keep-alive"), 0);
    int value = 0;
    socklen_t size = sizeof value;
    ::getsockopt(t.m_control.socket().handle(), SOL_SOCKET, SO_KEEPALIVE, &value, &size);
    EXPECT_EQ(value, 1);
}

TEST_F(MessageLayer, RequestLineGivesMethodAndDecodedPathWithoutQuery) {
    EXPECT_TRUE(t.ParseRequestLine("GET /sys%2Dtan0000.txt?page=3 HTTP/1.1"));
    EXPECT_EQ(t.m_method, 1);
    EXPECT_EQ(t.m_path, "\\sys-tan0000.txt");
    EXPECT_TRUE(t.ParseRequestLine("post /a/b+c HTTP/1.1"));
    EXPECT_EQ(t.m_method, 2);
    EXPECT_EQ(t.m_path, "\\a\\b c");
    EXPECT_TRUE(t.ParseRequestLine("HEAD /x HTTP/1.0"));
    EXPECT_EQ(t.m_method, 3);
    EXPECT_TRUE(t.ParseRequestLine("PUT /x HTTP/1.0"));
    EXPECT_EQ(t.m_method, 0);
    EXPECT_FALSE(t.ParseRequestLine("GET /file_list.xml"));
    EXPECT_FALSE(t.ParseRequestLine("GET "));
    EXPECT_FALSE(t.ParseRequestLine("NOSPACESATALL"));
}

TEST(Encode, Base64EncodesWithPadding) {
    EXPECT_EQ(CEncode::Base64Encode(""), "");
    EXPECT_EQ(CEncode::Base64Encode("f"), "Zg==");
    EXPECT_EQ(CEncode::Base64Encode("fo"), "Zm8=");
    EXPECT_EQ(CEncode::Base64Encode("foo"), "Zm9v");
    EXPECT_EQ(CEncode::Base64Encode("foobar"), "Zm9vYmFy");
    EXPECT_EQ(CEncode::Base64Encode("\xff\xfe"), "//4=");
    EXPECT_EQ(CEncode::Base64Encode(nullptr), "");
}

TEST(Encode, Base64DecodeStopsAtPaddingAndShortGroups) {
    EXPECT_EQ(CEncode::Base64Decode("Zm9vYmFy"), "foobar");
    EXPECT_EQ(CEncode::Base64Decode("Zg=="), "f");
    EXPECT_EQ(CEncode::Base64Decode("Zm8="), "fo");
    EXPECT_EQ(CEncode::Base64Decode("Zm9vY"), "foo");   // one character left over
    EXPECT_EQ(CEncode::Base64Decode("Zm9vYg"), "foob");
    EXPECT_EQ(CEncode::Base64Decode("Zg==Zm9v"), "f");   // nothing after the padding
    EXPECT_EQ(CEncode::Base64Decode("=abc"), "");
    EXPECT_EQ(CEncode::Base64Decode("!!!!"), "\xff\xff\xff");  // outside the alphabet is 63
    EXPECT_EQ(CEncode::Base64Decode(""), "");
}

TEST(Encode, UrlDecodeNeverReadsPastTheEnd) {
    EXPECT_EQ(CEncode::UrlDecode("a+b%41%6a"), "a bAj");
    EXPECT_EQ(CEncode::UrlDecode("50%"), "50%");
    EXPECT_EQ(CEncode::UrlDecode("x%4"), "x%4");
    EXPECT_EQ(CEncode::UrlDecode("%zz%2"), "%zz%2");
    EXPECT_EQ(CEncode::UrlDecode("%00"), std::string(1, '\0'));
    // Only the text itself is read, even when more bytes follow it in memory.
    const std::string backing = "ab%4142";
    EXPECT_EQ(CEncode::UrlDecode(std::string_view(backing).substr(0, 4)), "ab%4");
}

TEST(TransferNames, FileListEntriesTakeTheFirstMatchingKey) {
    std::string element, file;
    const std::pair<const char*, const char*> cases[] = {
        {"sys-tan0500.txt", "SYS-TAN0500"}, {"sys-tanf9500.txt", "SYS-TANF9500"}, {"sys-tanf.txt", "SYS-TANF"},
        {"SYS-TAN.TXT", "SYS-TAN"},         {"naisen429.txt", "NAISEN429"},       {"naisen.txt", "NAISEN"},
        {"tyaklog.txt", "TYAK"},            {"hkiseino9000.txt", "HKISEINO9000"}, {"hkiseino.txt", "HKISEINO"},
        {"usertkbn.txt", "USERTKBN"}};
    for (auto [name, expected] : cases) {
        ASSERT_TRUE(fileListEntry(name, element, file)) << name;
        EXPECT_EQ(element, expected);
        EXPECT_EQ(file, lowerAscii(name));
    }
    EXPECT_FALSE(fileListEntry("sys-tan0000.txt.bak", element, file));
    EXPECT_FALSE(fileListEntry("naisen102.txt", element, file));
    EXPECT_FALSE(fileListEntry("file_list.xml", element, file));
    EXPECT_EQ(recognisedDataFile("SYS-TANF0000.TXT"), "sys-tanf0000.txt");
    EXPECT_EQ(recognisedDataFile("..\\sys-tan.txt"), "");
}

}  // namespace
