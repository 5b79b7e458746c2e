#include "link/transfer_names.h"

#include <sys/stat.h>

#include <cstdio>

#include "base/ascii_text.h"
#include "base/platform.h"

namespace {

struct ListKey {
  std::string key;
  std::string element;
  std::string fileName;
};

std::vector<ListKey> makeListKeys() {
  std::vector<ListKey> keys;
  for (int i = 0; i < 20; ++i) {
    const std::string name = speedDialBlockName(i, false);
    keys.push_back({upperAscii(name.substr(0, name.size() - 4)),
                    upperAscii(name.substr(0, name.size() - 4)), name});
  }
  for (int i = 0; i < 20; ++i) {
    const std::string name = speedDialBlockName(i, true);
    keys.push_back({upperAscii(name.substr(0, name.size() - 4)),
                    upperAscii(name.substr(0, name.size() - 4)), name});
  }
  keys.push_back({"SYS-TANF", "SYS-TANF", std::string(kSpeedDialTenColumnName)});
  keys.push_back({"SYS-TAN", "SYS-TAN", std::string(kSpeedDialName)});
  for (const std::string& name : extensionBlockNames()) {
    const std::string key = upperAscii(name.substr(0, name.size() - 4));
    keys.push_back({key, key, name});
  }
  keys.push_back({"NAISEN", "NAISEN", std::string(kExtensionName)});
  keys.push_back({"TYAK", "TYAK", std::string(kCallHistoryName)});
  for (const std::string& name : restrictionBlockNames()) {
    const std::string key = upperAscii(name.substr(0, name.size() - 4));
    keys.push_back({key, key, name});
  }
  keys.push_back({"HKISEI", "HKISEINO", std::string(kRestrictionName)});
  keys.push_back({"USERTKBN", "USERTKBN", std::string(kTemplateName)});
  return keys;
}

const std::vector<ListKey>& listKeys() {
  static const std::vector<ListKey> keys = makeListKeys();
  return keys;
}

std::vector<std::string> makeDataFileNames() {
  std::vector<std::string> names = {
      std::string(kSpeedDialName),   std::string(kSpeedDialTenColumnName),
      std::string(kExtensionName),   std::string(kTemplateName),
      std::string(kRestrictionName), std::string(kCallHistoryName)};
  for (int i = 0; i < 20; ++i) {
    names.push_back(speedDialBlockName(i, false));
    names.push_back(speedDialBlockName(i, true));
  }
  for (const auto& n : extensionBlockNames()) names.push_back(n);
  for (const auto& n : restrictionBlockNames()) names.push_back(n);
  return names;
}

}  // namespace

std::string workPath(std::string_view workDir, std::string_view name) {
  std::string path(workDir);
  if (!path.empty()) path += '/';
  return path.append(name);
}

std::string makeWorkTempFile(const std::string& workDir) {
  // A folder path cut to the limit would name another folder: a name that cannot be held
  // is no name at all.
  const std::string dir = workPath(workDir, "Zu");
  if (dir.size() > kMaxPathBytes) return {};
  ::mkdir(dir.c_str(), 0777);
  std::string name = createUniqueTempFile(dir);
  if (name.size() > kMaxPathBytes) {
    std::remove(name.c_str());
    return {};
  }
  return name;
}

std::string speedDialBlockName(int block, bool tenColumn) {
  char name[32];
  std::snprintf(name, sizeof name, "%s%04d.txt", tenColumn ? "sys-tanf" : "sys-tan", block * 500);
  return name;
}

const std::vector<std::string>& extensionBlockNames() {
  static const std::vector<std::string> names = {"naisen101.txt", "naisen151.txt", "naisen241.txt",
                                                 "naisen335.txt", "naisen429.txt"};
  return names;
}

const std::vector<std::string>& restrictionBlockNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> out;
    for (int i = 0; i < 10; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "hkiseino%04d.txt", i * 1000);
      out.push_back(name);
    }
    return out;
  }();
  return names;
}

std::string recognisedDataFile(std::string_view name) {
  static const std::vector<std::string> names = makeDataFileNames();
  const std::string lower = lowerAscii(name);
  for (const std::string& n : names)
    if (n == lower) return n;
  return {};
}

bool fileListEntry(std::string_view name, std::string& element, std::string& fileName) {
  const std::string upper = upperAscii(name);
  for (const ListKey& k : listKeys()) {
    if (upper.compare(0, k.key.size(), k.key) != 0) continue;
    if (!equalsIgnoringCase(name, k.fileName)) return false;
    element = k.element;
    fileName = k.fileName;
    return true;
  }
  return false;
}
