#include "mainunit/unit_rows.h"

std::vector<std::string> unitRowFields(std::string_view row, char separator) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  while (true) {
    std::size_t at = row.find(separator, start);
    if (at == std::string_view::npos) {
      fields.emplace_back(row.substr(start));
      return fields;
    }
    fields.emplace_back(row.substr(start, at - start));
    start = at + 1;
  }
}

int unitRowNumber(std::string_view text) {
  int value = -1;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    value = (value < 0 ? 0 : value) * 10 + (c - '0');
    if (value > 1000000) return -1;
  }
  return value;
}

std::vector<std::string_view> unitBodyLines(std::string_view body) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= body.size(); ++i) {
    if (i == body.size() || body[i] == '\n' || body[i] == '\r') {
      if (i > start) lines.push_back(body.substr(start, i - start));
      start = i + 1;
    }
  }
  return lines;
}
