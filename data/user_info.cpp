#include "data/user_info.h"

#include <cstdio>
#include <cstring>

#include "base/platform.h"

namespace {

struct UserInfoColumn {
  char* field;
  std::size_t column;
  std::size_t width;
};

}  // namespace

void formatUserInfoLine(char out[kUserInfoBytes + 1]) {
  const LocalTime t = localTimeNow();
  const UserInfoHeader& h = userInfoHeader;
  char line[320];
  std::snprintf(line, sizeof line,
                "%04d%02d%02d%02d%02d,%-24.24s,%-24.24s,%-16.16s%-6.6s  ,%-24.24s,%-72.72s,    \r\n",
                t.year % 10000, t.month % 100, t.day % 100, t.hour % 100, t.minute % 100, h.field1,
                h.field2, h.field3, h.field4, h.field5, h.field6);
  std::memcpy(out, line, kUserInfoBytes);
  out[kUserInfoBytes] = '\0';
}

std::string userInfoLine() {
  char line[kUserInfoBytes + 1];
  formatUserInfoLine(line);
  return std::string(line, kUserInfoBytes);
}

void clearUserInfoFields() { std::memset(&userInfoHeader, ' ', sizeof userInfoHeader); }

bool hasUserInfoShape(std::string_view line) {
  if (line.size() < 13 || line[12] != ',') return false;
  for (std::size_t i = 0; i < 12; ++i)
    if (line[i] < '0' || line[i] > '9') return false;
  return true;
}

void takeUserInfoFields(std::string_view headerText) {
  UserInfoHeader& h = userInfoHeader;
  const UserInfoColumn columns[] = {{h.field1, 13, 24}, {h.field2, 38, 24}, {h.field3, 63, 16},
                                    {h.field4, 79, 6},  {h.field5, 88, 24}, {h.field6, 113, 72}};
  clearUserInfoFields();
  for (const UserInfoColumn& c : columns) {
    for (std::size_t i = 0; i < c.width && c.column + i < headerText.size(); ++i) {
      const char byte = headerText[c.column + i];
      c.field[i] = byte == '\0' ? ' ' : byte;
    }
  }
}
