#include "cli/changed_from.h"

#include <cstdio>

#include "data/process_state.h"
#include "data/system_data.h"

namespace {

constexpr ExchangeKind kKinds[] = {ExchangeKind::SpeedDial, ExchangeKind::Extensions,
                                   ExchangeKind::Templates};

const char* kindName(ExchangeKind kind) {
  switch (kind) {
    case ExchangeKind::SpeedDial: return "a speed-dial file (.zud8 .zud3)";
    case ExchangeKind::Extensions: return "an extension file (.zud4)";
    case ExchangeKind::Templates: return "a template file (.zud9)";
  }
  return "";
}

// The tables as at start-up, and the record of which ones a load filled with them.
void resetTables() {
  const std::uint8_t mode = memoryMode;
  initSystemData();
  memoryMode = mode;
  for (bool& filled : phonebookTableFilled) filled = false;
}

std::string sentText(const PhonebookChanges& changes) {
  std::string text;
  auto add = [&text](const std::string& item) { text += (text.empty() ? "" : "、") + item; };
  for (int b = 0; b < kSpeedDialBlocks; ++b) {
    if (!changes.speedDialBlocks[static_cast<std::size_t>(b)]) continue;
    char block[32];
    std::snprintf(block, sizeof block, "%04d～%04d", b * kSpeedDialBlockSize,
                  b * kSpeedDialBlockSize + kSpeedDialBlockSize - 1);
    add(block);
  }
  if (changes.extensions) add("内線電話帳");
  if (changes.templates) add("付加情報定型文");
  return text;
}

}  // namespace

bool WriteSelectionFlags::any() const {
  for (bool b : blocks)
    if (b) return true;
  return extensions || templates;
}

std::optional<std::string> changedFromProblem(const std::vector<std::string>& files,
                                              const std::vector<std::string>& olds,
                                              const PhonebookKindOf& kindOf) {
  if (olds.empty()) return std::nullopt;
  bool oldOf[3] = {};
  for (const std::string& old : olds) {
    const auto kind = kindOf(old);
    if (!kind)
      return "--changed-from takes a phonebook file (.zud8 .zud3 .zud4 .zud9 .csv): " + old;
    bool& seen = oldOf[static_cast<int>(*kind)];
    if (seen) return "--changed-from names two files of the same kind: " + old;
    seen = true;
  }
  for (const std::string& file : files) {
    const auto kind = kindOf(file);
    if (kind && !oldOf[static_cast<int>(*kind)])
      return std::string("--changed-from needs ") + kindName(*kind) + " for " + file;
  }
  return std::nullopt;
}

ChangedFromOutcome loadAndSelectChanged(
    const std::vector<std::string>& files, const std::vector<std::string>& olds,
    const PhonebookKindOf& kindOf, const std::function<bool(const std::vector<std::string>&)>& load,
    WriteSelectionFlags& selection) {
  resetTables();
  if (!load(olds)) return ChangedFromOutcome::LoadFailed;
  PhonebookCopy unit;
  for (const std::string& old : olds) unit.take(*kindOf(old));

  bool written[3] = {};
  for (const std::string& file : files) written[static_cast<int>(*kindOf(file))] = true;
  std::vector<std::string> first;
  for (const std::string& old : olds)
    if (!written[static_cast<int>(*kindOf(old))]) first.push_back(old);
  resetTables();
  if (!load(first) || !load(files)) return ChangedFromOutcome::LoadFailed;
  PhonebookCopy now;
  for (ExchangeKind kind : kKinds)
    if (written[static_cast<int>(kind)]) now.take(kind);
  // The tables as the unit holds them, as far as the OLD files tell, stay the baseline.
  phonebookBaseline() = unit;

  const PhonebookChanges changes = phonebookChanges(unit, now);
  if (!changes.any()) {
    const bool nothing = !selection.any();
    std::fprintf(stderr, "zuctl write: --changed-from のファイルから変更はありません。%s\n",
                 nothing ? "何も送信しません。" : "");
    if (nothing) return ChangedFromOutcome::NothingChanged;
  } else {
    std::fprintf(stderr, "zuctl write: 変更のあるもの: %s\n", sentText(changes).c_str());
  }
  for (int b = 0; b < kSpeedDialBlocks; ++b)
    selection.blocks[static_cast<std::size_t>(b)] =
        selection.blocks[static_cast<std::size_t>(b)] ||
        changes.speedDialBlocks[static_cast<std::size_t>(b)];
  selection.extensions = selection.extensions || changes.extensions;
  selection.templates = selection.templates || changes.templates;
  return ChangedFromOutcome::Selected;
}
