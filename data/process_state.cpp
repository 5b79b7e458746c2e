#include "data/process_state.h"

#include <cstring>

#include "base/platform.h"

namespace {

// The texts exchangeDirectory and exchangeFileName point at after pointExchangePathAt.
std::string g_exchangeDirectory;
std::string g_exchangeFileName;

}  // namespace

char startDirectory[261];
std::uint8_t memoryMode = 1;
std::int32_t duplicateCheck = 1;
std::int32_t tablesEdited;
std::int32_t historyKind;
std::int32_t fileKind;
std::int32_t fileDirection;
std::int32_t writeSelection[22];
std::int32_t sysTanfMode;
const char* exchangeDirectory = "";
const char* exchangeFileName = "";
std::int32_t speedDialPass;

void pointExchangePathAt(const std::string& path) {
  g_exchangeDirectory = directoryOf(path);
  g_exchangeFileName = fileNameOf(path);
  exchangeDirectory = g_exchangeDirectory.c_str();
  exchangeFileName = g_exchangeFileName.c_str();
}

std::mutex& tableLock() {
  static std::mutex lock;
  return lock;
}

void initProcessState() {
  std::memset(startDirectory, 0, sizeof startDirectory);
  memoryMode = 1;
  duplicateCheck = 1;
  tablesEdited = 0;
  historyKind = 0;
  fileKind = 0;
  fileDirection = 0;
  std::memset(writeSelection, 0, sizeof writeSelection);
  sysTanfMode = 0;
  exchangeDirectory = "";
  exchangeFileName = "";
  speedDialPass = 0;
}
