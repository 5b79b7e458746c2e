// Process-wide state shared by the workflows, the link, the formats and the editor.
//
// Only what several workflows genuinely share lives here; a file or link operation is given its
// path, kind and form as arguments. All of it is touched from the user-interface thread, except
// that an editor worker changes tables and flags while it holds tableLock(). initProcessState()
// puts every value back to its start-up value; every test that touches this state starts with it.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "base/platform.h"
#include "data/table_kinds.h"

// The current directory at start-up, without a trailing slash. Written by the application at
// start-up; kept for the workflows, which name their files from it.
extern char startDirectory[kMaxPathBytes + 1];
// System speed-dial memory count: 1 = 600 memories, 2 = 990 memories (low two bits compared).
// Written by the start-up defaults (the workflows will set the main unit's count); read by the
// tables, the exchange files and the save-space check.
extern std::uint8_t memoryMode;
// Memory count 2 (990 memories).
inline bool isMemoryCount990() { return (memoryMode & 3) == 2; }
// 1 = a phone number may not be registered twice; 0 = duplicates allowed. Written by the
// application at start-up and zuctl edit; read by the editor's form checks and page scripts.
extern std::int32_t duplicateCheck;
// 1 once any data was loaded from a local file or taken from a form post; never reset. Written
// by the local-file loads and the editor's form posts; kept for the main dialog's close, which
// asks before unsaved tables are lost.
extern std::int32_t tablesEdited;
// The call history the history menu works on (internal at start-up). Written by the history
// menu and zuctl; read by the history files and the editor's page choice.
extern HistoryKind historyKind;
// The kind of phonebook file chosen in the file-kind chooser; empty while none is. Written by
// the chooser and zuctl convert; read by the phonebook file load and save.
extern std::optional<ExchangeKind> fileKind;
// 0 = load, 1 = save. Written by zuctl convert; kept for the file workflows, which choose load or
// save by it.
extern std::int32_t fileDirection;
// Per ExchangeKind: whether a phonebook read of this run or a loaded file filled that table.
// Written by the phonebook read and the phonebook file loads; read by the phonebook write, which
// asks before it replaces the unit's table with one nothing filled.
extern bool phonebookTableFilled[3];

// [0]..[19] speed-dial blocks 0000-0499 ... 9500-9999, [20] extension phonebook, [21] templates.
// Written by the write-selection dialog; read by the link's upload.
extern std::int32_t writeSelection[22];
// 1 while the 10-column speed-dial family is in use. Written by the link (the main unit's
// firmware) and the local-file loads and saves (the file's form); read by the callers that
// choose the form of the next file or transfer.
extern std::int32_t sysTanfMode;

// The application's table lock: serialises editor workers against the closing of an edit menu.
std::mutex& tableLock();

// Resets every value above to its start-up value: zero (fileKind empty), except
// duplicateCheck = 1 and memoryMode = 1.
void initProcessState();
