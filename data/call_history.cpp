#include "data/call_history.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/fixed_field.h"
#include "data/system_data.h"

InternalCallRecord internalHistory[kCallHistoryRecords];
ExternalCallRecord externalHistory[kCallHistoryRecords];

namespace {

bool isPosition(int p) { return p >= 0 && p < kCallHistoryRecords; }

// The numeric value of a two-digit field as the C library reads it (0 for a non-number).
int numericValue(const char field[3]) {
  return std::atoi(std::string(fixedFieldText(field, 3)).c_str());
}

// Writes "%02d" of value into the three-byte field, NUL-terminated (longer output is cut).
void writeTwoDigits(char field[3], int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d", value);
  copyFixedField(field, 2, text);
  field[2] = '\0';
}

void normaliseReasonCode(InternalCallRecord& r) {
  if (r.reasonCode[0] != '\0') writeTwoDigits(r.reasonCode, numericValue(r.reasonCode));
}

void normaliseGroupNumber(ExternalCallRecord& r) {
  int value = numericValue(r.telephoneGroup);
  if (value != 0) writeTwoDigits(r.telephoneGroup, value);
}

}  // namespace

void storeInternalCallRecord(int p, const InternalCallRecord& r) {
  if (!isPosition(p)) return;
  InternalCallRecord copy = r;
  normaliseReasonCode(copy);
  internalHistory[p] = copy;
}

void storeExternalCallRecord(int p, const ExternalCallRecord& r) {
  if (!isPosition(p)) return;
  ExternalCallRecord copy = r;
  normaliseGroupNumber(copy);
  externalHistory[p] = copy;
}

InternalCallRecord readInternalCallRecord(int p) {
  if (!isPosition(p)) return InternalCallRecord{};
  InternalCallRecord copy = internalHistory[p];
  normaliseReasonCode(copy);
  return copy;
}

ExternalCallRecord readExternalCallRecord(int p) {
  if (!isPosition(p)) return ExternalCallRecord{};
  ExternalCallRecord copy = externalHistory[p];
  normaliseGroupNumber(copy);
  return copy;
}

void resetCallHistories() {
  zeroTableStorage(internalHistory, sizeof internalHistory);
  zeroTableStorage(externalHistory, sizeof externalHistory);
}
