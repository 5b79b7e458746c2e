// The system speed-dial table and the private speed-dial lists it keeps up to date.
#pragma once

#include "data/phonebook_records.h"

// A use text counts only when one of its first three characters is a digit or its bytes 2 and
// 3 are both NUL (use points at 4 bytes).
bool isUseNumeric(const char* use);
// Value of a use text: the 3-digit number for 3 characters, the digit for 1, else 0.
int useValue(const char* use);

// Entry numbers the current memory count holds: 990 under memory count 2, else 10000.
int speedDialCapacity();

// Stores entry n from f under the current memory count. Returns 1 when stored, 0 when n is out
// of range (nothing changes). f is altered: forbidden name and reading characters become
// blanks, and a rejected number or reading is replaced by the stored one. A private use
// (a position) whose list already holds 30 other entries is refused: the entry keeps what it had.
int setSpeedDialEntry(int n, SpeedDialFields& f);
// The same rules on entry n of another image (the private lists are shared).
int setSpeedDialEntry(PhonebookImage& image, int n, SpeedDialFields& f);

// Entry n unpacked into f; always 1. Entries the memory count does not hold give the empty
// form: no number, no texts, use "0", group "01", line group '0', display mode and templates 0.
int getSpeedDialEntry(int n, SpeedDialFields& f);
int getSpeedDialEntry(const PhonebookImage& image, int n, SpeedDialFields& f);
// As getSpeedDialEntry on baselineImage; a baseline entry whose use is "" or "0" is cleared
// there, the live entry's display mode and templates become 0, and the empty form is given.
int getBaselineSpeedDialEntry(int n, SpeedDialFields& f);
// As getSpeedDialEntry on referenceImage.
int getReferenceSpeedDialEntry(int n, SpeedDialFields& f);

// Empties every private list (all places -1, counts 0) with their counter.
void resetPrivateSpeedDialLists();
