#include "link/http_head.h"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <string>
#include <vector>

#include "link/encode.h"
#include "link/link_test_support.h"

namespace {

using namespace std::chrono_literals;

TEST(HttpHead, ConnectionRequestIsTheRequestLineAndTheKeyInHexadecimal) {
  unsigned char key[64];
  std::string hex;
  for (int i = 0; i < 64; ++i) {
    key[i] = static_cast<unsigned char>(i * 4 + 10);
    char h[8];
    std::snprintf(h, sizeof h, "%02X", key[i]);
    hex += h;
  }
  EXPECT_EQ(connectionRequest(key), "GET /connection.xml HTTP/1.1\r\nCryptoKey: " + hex + "\r\n");
  EXPECT_EQ(hex.size(), 128u);
}

TEST(HttpHead, FileRequestsCarryHostAndTheBareBase64Password) {
  EXPECT_EQ(fileRequest("sys-tanf.txt", "PBX-Office.example"),
            "GET /sys-tanf.txt HTTP/1.1\r\nHost: PBX-Office.example\r\n");
  EXPECT_EQ(
      fileRequest("sys-tanf.txt", "PBX-Office.example", "7351"),
      "GET /sys-tanf.txt HTTP/1.1\r\nHost: PBX-Office.example\r\nAuthorization: NzM1MQ==\r\n");
}

TEST(HttpHead, AnswersCarryTheBodyLengthAndRefusalsAZeroLengthOnAValueLine) {
  EXPECT_EQ(answerHead(200, 1234),
            "HTTP/1.1 200 OK\r\nAccept-Encoding: gzip, deflate\r\nConnection: Keep-Alive\r\n"
            "Content-Length: 1234\r\n");
  EXPECT_EQ(answerHead(200, -1),
            "HTTP/1.1 200 OK\r\nAccept-Encoding: gzip, deflate\r\nConnection: Keep-Alive\r\n"
            "Content-Length: \r\n");
  EXPECT_EQ(answerHead(401, 1234),
            "HTTP/1.1 401 Unauthorized\r\nAccept-Encoding:\r\ngzip, deflate\r\n"
            "Connection: Keep-Alive\r\nContent-Length: 0\r\n");
  EXPECT_EQ(answerHead(999, 0).substr(0, 36), "HTTP/1.1 500 Internal Server Error\r\n");
}

TEST(HttpHead, StatusLineNeedsACodeAndAReasonPhrase) {
  int status = 0;
  EXPECT_TRUE(parseStatusLine("HTTP/1.1 404 Not Found", status));
  EXPECT_EQ(status, 404);
  EXPECT_EQ(statusClass(status), 4);
  EXPECT_FALSE(parseStatusLine("HTTP/1.1 200", status));
  EXPECT_EQ(status, -1);
  EXPECT_FALSE(parseStatusLine("HTTP/1.1 20", status));
  EXPECT_FALSE(parseStatusLine("garbage", status));
  EXPECT_FALSE(parseStatusLine("", status));
  EXPECT_TRUE(parseStatusLine("HTTP/1.1 abc x", status));
  EXPECT_EQ(statusClass(status), -1);
  // A code beyond any integer does not overflow.
  EXPECT_TRUE(parseStatusLine("HTTP/1.1 99999999999999999999 X", status));
  EXPECT_EQ(statusClass(status), -1);

  const std::pair<int, int> classes[] = {{-1, -1}, {99, -1}, {100, 1}, {199, 1}, {200, 2},
                                         {299, 2}, {300, 3}, {401, 4}, {599, 5}, {600, -1}};
  for (auto [code, cls] : classes) EXPECT_EQ(statusClass(code), cls) << code;
}

TEST(HttpHead, HeadersOfTheSetAreRecognisedWhateverTheirCaseAndSpacing) {
  CHttpData http;
  const HeaderSet answer = HeaderSet::ConnectionAnswer;
  EXPECT_EQ(parseHeaderLine("content-length :   25  ", answer, http), HeaderField::ContentLength);
  EXPECT_EQ(http.contentLength, 25);
  EXPECT_EQ(parseHeaderLine("Server: ZPX main unit", answer, http), HeaderField::Server);
  EXPECT_EQ(parseHeaderLine("Title:x", answer, http), HeaderField::Title);
  EXPECT_EQ(parseHeaderLine("Connection:  Keep-Alive ", answer, http), HeaderField::Connection);
  EXPECT_EQ(http.connection, "Keep-Alive");
  EXPECT_EQ(parseHeaderLine("X-Other: 1", answer, http), HeaderField::None);
  EXPECT_EQ(parseHeaderLine("no colon here", answer, http), HeaderField::None);
  EXPECT_EQ(parseHeaderLine(": starts with colon", answer, http), HeaderField::None);
  // Request headers mean nothing in the connection answer, and answer headers nothing later.
  EXPECT_EQ(parseHeaderLine("Host: a", answer, http), HeaderField::None);
  EXPECT_EQ(parseHeaderLine("Host: a", HeaderSet::DataPhase, http), HeaderField::Host);
  EXPECT_EQ(parseHeaderLine("Server: s", HeaderSet::DataPhase, http), HeaderField::None);
}

TEST(HttpHead, ContentLengthOfTenOrMoreCharactersCountsAsNotGiven) {
  CHttpData http;
  const auto length = [&http](const char* line) {
    parseHeaderLine(line, HeaderSet::ConnectionAnswer, http);
    return http.contentLength;
  };
  EXPECT_EQ(length("Content-Length: 999999999"), 999999999);
  EXPECT_EQ(length("Content-Length: 1000000000"), -1);
  EXPECT_EQ(length("Content-Length: 99999999999999999999"), -1);
  EXPECT_EQ(length("Content-Length: -5"), -5);
  length("Content-Length: 7");
  EXPECT_EQ(length("Content-Length:"), 7);  // an empty value leaves the length alone
}

TEST(HttpHead, BasicCredentialsAreDecodedAndOthersNeverMatch) {
  CHttpData http;
  const HeaderSet data = HeaderSet::DataPhase;
  EXPECT_EQ(parseHeaderLine("Authorization: Basic " + CEncode::Base64Encode(":7351"), data, http),
            HeaderField::Authorization);
  EXPECT_EQ(http.authorization, ":7351");
  EXPECT_TRUE(credentialsMatch(http.authorization, "7351"));
  parseHeaderLine("authorization: BASIC    " + CEncode::Base64Encode("73:51"), data, http);
  EXPECT_TRUE(credentialsMatch(http.authorization, "7351"));
  parseHeaderLine("Authorization: Digest abc", data, http);
  EXPECT_EQ(http.authorization, "Digest abc");
  EXPECT_FALSE(credentialsMatch(http.authorization, "7351"));

  EXPECT_FALSE(credentialsMatch("", ""));
  EXPECT_TRUE(credentialsMatch("Ab:12", "Ab12"));
  EXPECT_FALSE(credentialsMatch(":ab12", "Ab12"));
  EXPECT_FALSE(credentialsMatch(":Ab123", "Ab12"));
}

TEST(HttpHead, RequestLineGivesMethodAndDecodedPathWithoutQuery) {
  RequestMethod method = RequestMethod::Other;
  std::string path;
  EXPECT_TRUE(parseRequestLine("GET /sys%2Dtan0000.txt?page=3 HTTP/1.1", method, path));
  EXPECT_EQ(method, RequestMethod::Get);
  EXPECT_EQ(path, "\\sys-tan0000.txt");
  EXPECT_TRUE(parseRequestLine("post /a/b+c HTTP/1.1", method, path));
  EXPECT_EQ(method, RequestMethod::Post);
  EXPECT_EQ(path, "\\a\\b c");
  EXPECT_TRUE(parseRequestLine("HEAD /x HTTP/1.0", method, path));
  EXPECT_EQ(method, RequestMethod::Head);
  EXPECT_TRUE(parseRequestLine("PUT /x HTTP/1.0", method, path));
  EXPECT_EQ(method, RequestMethod::Other);
  EXPECT_FALSE(parseRequestLine("GET /file_list.xml", method, path));
  EXPECT_FALSE(parseRequestLine("GET ", method, path));
  EXPECT_FALSE(parseRequestLine("NOSPACESATALL", method, path));
}

TEST(HttpHead, ReadHeadHandsOverEachLineUpToTheEmptyOneAndRefusesAHugeHead) {
  useTestTiming();
  StreamPair pair;
  ASSERT_TRUE(pair.open());
  pair.rawSend("Server: x\r\nTitle: y\r\n\r\nnext");
  std::vector<std::string> lines;
  const auto collect = [&lines](std::string_view line) { lines.emplace_back(line); };
  EXPECT_TRUE(readHead(pair.stream, 300ms, collect));
  EXPECT_EQ(lines, (std::vector<std::string>{"Server: x", "Title: y"}));

  std::string huge;
  while (huge.size() <= 64 * 1024) huge += "X-Filler: " + std::string(1000, 'f') + "\r\n";
  pair.rawSend(huge);
  EXPECT_FALSE(readHead(pair.stream, 300ms, collect));
}

TEST(HttpHead, ReadHeadFieldsTakesTheHeadAndAKeepAliveSetsItOnTheControlConnection) {
  useTestTiming();
  Socket control;
  ASSERT_TRUE(control.open());
  StreamPair data;
  ASSERT_TRUE(data.open());
  data.rawSend("Content-Length: 12\r\nConnection: keep-alive\r\n\r\n");
  CHttpData http;
  EXPECT_TRUE(readHeadFields(data.stream, 300ms, HeaderSet::DataPhase, http, control));
  EXPECT_EQ(http.contentLength, 12);
  int value = 0;
  socklen_t size = sizeof value;
  ::getsockopt(control.handle(), SOL_SOCKET, SO_KEEPALIVE, &value, &size);
  EXPECT_EQ(value, 1);
}

}  // namespace
