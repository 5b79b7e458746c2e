// Which requests the editor server serves at all: the host a request names and, for a request
// that brings a body, the page it was sent from.
//
// The server listens on the loopback address, but any web page the user has open can make the
// browser send requests there: a page of another site can post a form to it, and a host name
// under somebody else's control can be made to resolve to 127.0.0.1 so that its pages read the
// server's answers. Both are told apart by what the browser itself writes into the head:
//
// - Host, when present, must name "127.0.0.1" or "localhost" (letters in any case), alone or
//   followed by ":" and the server's own port in plain decimal. Anything else is refused: an
//   empty value, a user part ("127.0.0.1@evil"), another port, a trailing dot. A request without
//   Host (an HTTP/1.0 tool) is served.
// - A request that brings a body (a post) is refused when its Origin is present and is not the
//   server's own origin: "http://" + one of the two names + ":" + the server's port (the port
//   may be left out only when it is 80, as browsers do). "Origin: null" (a sandboxed frame, a
//   file, a page that hides its address) is refused. Without Origin, a present Referer must
//   start with the server's own origin followed by "/", "?", "#" or nothing. A post with
//   neither header (a script, a command-line client) is served.
// - A data script holds table data as a script, and a page of any site may load a script from
//   anywhere. A data-script request is therefore refused when the browser says it comes from
//   another page than the server's own: a Sec-Fetch-Site other than "same-origin" or "none"
//   (the user typed the address), an Origin other than the server's own, or a Referer outside
//   it. A request with none of them (an older browser, a tool) is served.
// - Header names are compared without regard to case. A Host, Origin, Referer or Sec-Fetch-Site
//   header given more than once refuses the request, whatever the copies say.
//
// A refused request is answered "403 Forbidden" before the table lock is taken.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The headers the check reads, collected from the header lines of one request.
struct RequestGuardHeaders {
  int hostCount = 0;
  int originCount = 0;
  int refererCount = 0;
  int fetchSiteCount = 0;
  std::string host, origin, referer, fetchSite;

  // Takes one header line ("Name: value"); other headers are passed over.
  void take(std::string_view line);
};

// Whether `hostValue` names this server (listening on `port`).
bool hostNamesServer(std::string_view hostValue, std::uint16_t port);
// Whether `origin` is exactly this server's own origin.
bool isServerOrigin(std::string_view origin, std::uint16_t port);
// Whether the page address `referer` lies in this server's own origin.
bool refererFromServer(std::string_view referer, std::uint16_t port);

// What a request asks for, as far as the checks go.
enum class RequestKind {
  Plain,       // a page or a file
  WithBody,    // a form post, or any request that brings a body
  DataScript,  // a script generated from the tables
};

// Whether the server on `port` serves the request; false means 403.
bool requestAllowed(const RequestGuardHeaders& headers, std::uint16_t port, RequestKind kind);
