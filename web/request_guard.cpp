#include "web/request_guard.h"

#include "base/ascii_text.h"

namespace {

bool isLocalName(std::string_view name) {
  return equalsIgnoringCase(name, "127.0.0.1") || equalsIgnoringCase(name, "localhost");
}

// "name" or "name:port" naming this server; `portOptional` lets the port be left out.
bool authorityNamesServer(std::string_view authority, std::uint16_t port, bool portOptional) {
  const std::size_t colon = authority.find(':');
  if (colon == std::string_view::npos) return portOptional && isLocalName(authority);
  return isLocalName(authority.substr(0, colon)) && authority.substr(colon + 1) == std::to_string(port);
}

constexpr std::string_view kScheme = "http://";

}  // namespace

void RequestGuardHeaders::take(std::string_view line) {
  const std::size_t colon = line.find(':');
  if (colon == std::string_view::npos) return;
  const std::string_view name = trimmedRight(line.substr(0, colon));
  const std::string_view value = trimmed(line.substr(colon + 1));
  if (equalsIgnoringCase(name, "Host")) {
    ++hostCount;
    host = value;
  } else if (equalsIgnoringCase(name, "Origin")) {
    ++originCount;
    origin = value;
  } else if (equalsIgnoringCase(name, "Referer")) {
    ++refererCount;
    referer = value;
  } else if (equalsIgnoringCase(name, "Sec-Fetch-Site")) {
    ++fetchSiteCount;
    fetchSite = value;
  }
}

bool hostNamesServer(std::string_view hostValue, std::uint16_t port) {
  return authorityNamesServer(hostValue, port, true);
}

bool isServerOrigin(std::string_view origin, std::uint16_t port) {
  if (!startsWithIgnoringCase(origin, kScheme)) return false;
  return authorityNamesServer(origin.substr(kScheme.size()), port, port == 80);
}

bool refererFromServer(std::string_view referer, std::uint16_t port) {
  if (!startsWithIgnoringCase(referer, kScheme)) return false;
  const std::size_t end = referer.find_first_of("/?#", kScheme.size());
  return isServerOrigin(referer.substr(0, end), port);
}

bool requestAllowed(const RequestGuardHeaders& h, std::uint16_t port, RequestKind kind) {
  if (h.hostCount > 1 || h.originCount > 1 || h.refererCount > 1 || h.fetchSiteCount > 1) return false;
  if (h.hostCount == 1 && !hostNamesServer(h.host, port)) return false;
  switch (kind) {
    case RequestKind::Plain:
      return true;
    case RequestKind::WithBody:
      if (h.originCount == 1) return isServerOrigin(h.origin, port);
      return h.refererCount == 0 || refererFromServer(h.referer, port);
    case RequestKind::DataScript:
      if (h.fetchSiteCount == 1 && !equalsIgnoringCase(h.fetchSite, "same-origin") &&
          !equalsIgnoringCase(h.fetchSite, "none")) {
        return false;
      }
      if (h.originCount == 1 && !isServerOrigin(h.origin, port)) return false;
      return h.refererCount == 0 || refererFromServer(h.referer, port);
  }
  return false;
}
