// The two incoming-call histories of the main unit, 5000 records each.
//
// internalHistory holds calls between extensions, externalHistory calls from outside lines.
// All text fields are Shift_JIS, NUL-terminated and NUL-padded. A record number of 0 marks an
// empty record. historyKind (data/process_state.h) selects which history the menu works on.
// The tables are process-wide and unlocked: callers on other threads hold tableLock().
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int kCallHistoryRecords = 5000;

struct InternalCallRecord {
  std::uint16_t recordNumber;  // 1-5000; 0 = empty
  char date[11];
  char time[9];
  char ringEndTime[9];
  char callerExtension[5];
  char callerName[11];
  std::uint8_t telephoneGroup;
  std::uint8_t partyTypes;      // caller type in the low 4 bits, answerer type in the high 4 bits
  char calledParty[11];
  char callBackParty[11];
  char answeringParty[11];
  char reserved1;
  char callEndTime[9];
  char duration[9];
  char reserved2[11];
  char reasonCode[3];
  std::uint8_t answerType;
};
static_assert(sizeof(InternalCallRecord) == 116);
static_assert(offsetof(InternalCallRecord, date) == 2);
static_assert(offsetof(InternalCallRecord, time) == 13);
static_assert(offsetof(InternalCallRecord, ringEndTime) == 22);
static_assert(offsetof(InternalCallRecord, callerExtension) == 31);
static_assert(offsetof(InternalCallRecord, callerName) == 36);
static_assert(offsetof(InternalCallRecord, telephoneGroup) == 47);
static_assert(offsetof(InternalCallRecord, partyTypes) == 48);
static_assert(offsetof(InternalCallRecord, calledParty) == 49);
static_assert(offsetof(InternalCallRecord, callBackParty) == 60);
static_assert(offsetof(InternalCallRecord, answeringParty) == 71);
static_assert(offsetof(InternalCallRecord, reserved1) == 82);
static_assert(offsetof(InternalCallRecord, callEndTime) == 83);
static_assert(offsetof(InternalCallRecord, duration) == 92);
static_assert(offsetof(InternalCallRecord, reserved2) == 101);
static_assert(offsetof(InternalCallRecord, reasonCode) == 112);
static_assert(offsetof(InternalCallRecord, answerType) == 115);

struct ExternalCallRecord {
  std::uint16_t recordNumber;  // 1-5000; 0 = empty
  char date[11];
  char time[9];
  char ringEndTime[9];
  char callerNumber[17];
  char callerName[21];
  std::uint8_t answerType;
  char callBackParty[11];
  char answeringParty[11];
  char callEndTime[9];
  char duration[9];
  char telephoneGroup[3];  // two digits
  char reserved;
};
static_assert(sizeof(ExternalCallRecord) == 114);
static_assert(offsetof(ExternalCallRecord, date) == 2);
static_assert(offsetof(ExternalCallRecord, time) == 13);
static_assert(offsetof(ExternalCallRecord, ringEndTime) == 22);
static_assert(offsetof(ExternalCallRecord, callerNumber) == 31);
static_assert(offsetof(ExternalCallRecord, callerName) == 48);
static_assert(offsetof(ExternalCallRecord, answerType) == 69);
static_assert(offsetof(ExternalCallRecord, callBackParty) == 70);
static_assert(offsetof(ExternalCallRecord, answeringParty) == 81);
static_assert(offsetof(ExternalCallRecord, callEndTime) == 92);
static_assert(offsetof(ExternalCallRecord, duration) == 101);
static_assert(offsetof(ExternalCallRecord, telephoneGroup) == 110);
static_assert(offsetof(ExternalCallRecord, reserved) == 113);

extern InternalCallRecord internalHistory[kCallHistoryRecords];
extern ExternalCallRecord externalHistory[kCallHistoryRecords];

// Store record r at position p (0-4999; any other p is ignored). A non-empty reason code
// (internal) is rewritten as "%02d" of its numeric value; a group number (external) whose
// numeric value is not zero likewise.
void storeInternalCallRecord(int p, const InternalCallRecord& r);
void storeExternalCallRecord(int p, const ExternalCallRecord& r);

// A copy of record p with the same two-digit field normalised as the store does; an all-zero
// record for a p outside 0-4999.
InternalCallRecord readInternalCallRecord(int p);
ExternalCallRecord readExternalCallRecord(int p);

// Zeroes both histories.
void resetCallHistories();
