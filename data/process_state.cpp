#include "data/process_state.h"

#include <cstring>

char startDirectory[kMaxPathBytes + 1];
std::uint8_t memoryMode = 1;
std::int32_t duplicateCheck = 1;
std::int32_t tablesEdited;
HistoryKind historyKind = HistoryKind::Internal;
std::optional<ExchangeKind> fileKind;
std::int32_t fileDirection;
std::int32_t writeSelection[22];
bool phonebookTableFilled[3];
std::int32_t sysTanfMode;

std::mutex& tableLock() {
  static std::mutex lock;
  return lock;
}

void initProcessState() {
  std::memset(startDirectory, 0, sizeof startDirectory);
  memoryMode = 1;
  duplicateCheck = 1;
  tablesEdited = 0;
  historyKind = HistoryKind::Internal;
  fileKind.reset();
  fileDirection = 0;
  std::memset(writeSelection, 0, sizeof writeSelection);
  sysTanfMode = 0;
  for (bool& filled : phonebookTableFilled) filled = false;
}
