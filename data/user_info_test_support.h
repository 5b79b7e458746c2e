// Test support: a user-information line as the main unit and the local files carry it.
#pragma once

#include <string>

// 190 characters: the time 2024-01-02 03:04, field 1, blanks, and the commas at their columns.
inline std::string userLine(const std::string& field1) {
  std::string line = "202401020304," + field1;
  line.resize(190, ' ');
  line[37] = line[62] = line[87] = line[112] = line[185] = ',';
  return line;
}
