// The work lines: phonebook text rendered from the tables, one fixed-width line per entry.
#pragma once

#include "data/exchange_format.h"
#include "data/phonebook_records.h"

// Blanks all 10000 lines, then renders entries first..9999 into lines first..9999 (columns
// 0-3 entry number, 4-27 number, 28-47 name, 49-68 reading, 70-72 use, 74-75 group, 77 line
// group; in the 10-column form also 78 display mode, 79-81 and 82-84 the templates).
void fillSpeedDialLines(int first, SpeedDialForm form);
// Blanks all 10000 lines, then renders the extension directory from position `first` upward,
// one line per position in file order (columns 0-2 position, 3-6 extension number, 8-19 name,
// 21-30 reading). Returns the number of lines rendered: 317 from position 101.
int fillExtensionLines(int first);
// The positions of the extension file, in order (317 of them from 101).
const int* extensionLinePositions();
