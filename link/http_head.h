// The heads of the link's HTTP exchanges: building the tool's requests and answers, and reading
// and parsing what the main unit sends (status lines, request lines, header lines).
//
// Every function works on what it is given; none keeps state. A head is a start line, header
// lines and the empty line, every line ended by CR LF.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "link/http_data.h"

class LinkStream;
class Socket;

enum class RequestMethod { Other, Get, Post, Head };

// Which header lines count: those of the answer to the connection request, or those of the
// requests and answers of the data phase.
enum class HeaderSet { ConnectionAnswer, DataPhase };

enum class HeaderField {
  None,  // not one of the set's header lines
  Server,
  Date,
  Connection,
  ContentLength,
  Title,
  Authorization,
  Host,
  AcceptEncoding,
};

// The number at the start of `text` as atoi reads it (blanks, a sign, digits); a number beyond
// the range of int saturates.
int leadingNumber(std::string_view text);

// The connection request: its request line and the key material in upper-case hexadecimal
// ("CryptoKey:"), without the empty line that ends the head.
std::string connectionRequest(const unsigned char (&keyMaterial)[64]);
// The request for `file` in the data phase: the request line and "Host:"; with `password`
// also "Authorization:" with the bare Base64 of the password. Without the final empty line.
std::string fileRequest(std::string_view file, std::string_view host);
std::string fileRequest(std::string_view file, std::string_view host, std::string_view password);
// The tool's answer head to a request of the main unit, without the final empty line. 200
// carries "Content-Length:" with `contentLength` (empty when it is below 0); every other code
// ("500 Internal Server Error" for one the tool does not know) a zero length.
std::string answerHead(int code, std::int32_t contentLength);

// The code of a status line: the text between its first and second space as a number. False
// (and `status` -1) when the line has no second space or is too short to hold a code.
bool parseStatusLine(std::string_view line, int& status);
// 1 ... 5 for a status of 100 ... 599, otherwise -1.
int statusClass(int status);
// The method and path of a request line: the path is the URL-decoded target without its query,
// "/" turned into "\". False when the line has no second space.
bool parseRequestLine(std::string_view line, RequestMethod& method, std::string& path);
// Takes one header line of `set` into `http` (Connection, Content-Length and Authorization are
// kept; the other fields of the set are recognised and dropped): the name compared without regard
// to case and trailing blanks, the value trimmed. A Content-Length of ten or more characters counts
// as not given; an empty one leaves the length alone. Basic credentials are stored decoded, any
// other Authorization value as it is. Returns the field, None for a line that is not of the set.
HeaderField parseHeaderLine(std::string_view line, HeaderSet set, CHttpData& http);
// Whether decoded credentials ("user:password"; every ':' is dropped) are `password`.
bool credentialsMatch(std::string_view credentials, std::string_view password);

// Reads header lines from `stream` into `onLine`, waiting up to `perByte` before each byte,
// until the empty line, an expired wait, an error or the peer's close. False when the head grows
// beyond any real one (64 KiB).
bool readHead(LinkStream& stream, std::chrono::milliseconds perByte,
              const std::function<void(std::string_view)>& onLine);
// readHead with every line taken into `http` by parseHeaderLine; a Connection header saying
// Keep-Alive sets keep-alive on `control` (the run's control connection).
bool readHeadFields(LinkStream& stream, std::chrono::milliseconds perByte, HeaderSet set,
                    CHttpData& http, Socket& control);
