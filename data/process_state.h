// Process-wide state shared by the workflows, the link, the formats and the editor.
//
// One instance of each, as the formats and the protocol need them. All of it is touched from
// the user-interface thread, except that an editor worker changes tables and flags while it
// holds tableLock(). initProcessState() puts every value back to its start-up value; every
// test that touches this state starts with it.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

// The current directory at start-up, without a trailing slash.
extern char startDirectory[261];
// System speed-dial memory count: 1 = 600 memories, 2 = 990 memories (low two bits compared).
extern std::uint8_t memoryMode;
// Memory count 2 (990 memories).
inline bool isMemoryCount990() { return (memoryMode & 3) == 2; }
// 1 = a phone number may not be registered twice; 0 = duplicates allowed.
extern std::int32_t duplicateCheck;
// 1 once any data was loaded from a local file or taken from a form post; never reset.
extern std::int32_t tablesEdited;
// 0 = internal (extension) call history, 1 = external (outside-line) call history.
extern std::int32_t historyKind;
// 0 = none chosen, 1 = phonebook file, 2 = extension phonebook file, 3 = template file.
extern std::int32_t fileKind;
// 0 = load, 1 = save.
extern std::int32_t fileDirection;
// [0]..[19] speed-dial blocks 0000-0499 ... 9500-9999, [20] extension phonebook, [21] templates.
extern std::int32_t writeSelection[22];
// 1 while the 10-column speed-dial family is in use.
extern std::int32_t sysTanfMode;
// Directory of the next exchange or local text file, ending with a path separator.
extern const char* exchangeDirectory;
// Name of that file within exchangeDirectory.
extern const char* exchangeFileName;
// Points exchangeDirectory at the folder part of `path` (with its '/') and exchangeFileName at its
// file name. The texts are kept here until the next call.
void pointExchangePathAt(const std::string& path);
// 1 while the exchange-file reader or writer handles the speed-dial file of the main unit.
extern std::int32_t speedDialPass;

// The application's table lock: serialises editor workers against the closing of an edit menu.
std::mutex& tableLock();

// Resets every value above to its start-up value: zero, except duplicateCheck = 1 and
// memoryMode = 1; exchangeDirectory and exchangeFileName point at empty texts.
void initProcessState();
