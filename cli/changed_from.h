// zuctl write phonebook FILE... --changed-from OLD...: write only what FILE changes against OLD,
// a phonebook file of what the main unit holds (typically what the last zuctl read saved).
//
// The OLD files are loaded first, as the menus load them, into freshly reset tables: that is the
// write baseline of their kinds (data/phonebook_baseline.h). Then the tables are reset again, the
// OLD files of kinds that no FILE holds are loaded (so those tables stay what the unit holds) and
// the FILEs are loaded last, each into reset tables as a write without --changed-from loads it.
// The write selection then gets every speed-dial block, the extension phonebook and the templates
// where the FILEs differ from the OLD files; kinds that only an OLD file holds are compared with
// nothing and not sent. The unit so ends up as a full write of the FILEs would leave it.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "data/phonebook_baseline.h"
#include "data/table_kinds.h"

// The table a phonebook file holds, by its name; nullopt when it holds none.
using PhonebookKindOf = std::function<std::optional<ExchangeKind>(const std::string&)>;

// What is wrong with the OLD files for a write of `files`, or nullopt: every OLD must be a
// phonebook file, at most one OLD per kind, and every kind a FILE holds needs its OLD. Without
// OLD files nothing is wrong.
std::optional<std::string> changedFromProblem(const std::vector<std::string>& files,
                                              const std::vector<std::string>& olds,
                                              const PhonebookKindOf& kindOf);

// The write selection the flags of a write build.
struct WriteSelectionFlags {
  std::array<bool, kSpeedDialBlocks> blocks{};
  bool extensions = false;
  bool templates = false;

  bool any() const;
};

enum class ChangedFromOutcome {
  LoadFailed,      // a load showed its message; nothing may be sent
  NothingChanged,  // the FILEs hold what the OLD files hold, and no flag ticked anything
  Selected,        // `selection` has what differs added to it
};

// Loads as described above, with `load` (the menus' load of a list of files; false after an
// error message), and adds what differs to `selection`. Prints what is sent, or that nothing
// differs, to standard error.
ChangedFromOutcome loadAndSelectChanged(
    const std::vector<std::string>& files, const std::vector<std::string>& olds,
    const PhonebookKindOf& kindOf, const std::function<bool(const std::vector<std::string>&)>& load,
    WriteSelectionFlags& selection);
