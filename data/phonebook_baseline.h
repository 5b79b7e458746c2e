// The phonebook baseline: the tables as the main unit is known to hold them, so that a write can
// send only what differs.
//
// A copy of each of the three tables (speed dial, extension names, templates) is taken after a
// phonebook read from the unit (all three) and after a file of one kind was loaded (that kind:
// the file is taken to be what the unit holds, such as the files a read saved). The write
// selection compares the live tables with it per upload unit: the 20 speed-dial blocks of 500
// entries, the extension phonebook, the templates.
//
// This is not the editor's baselineImage (data/phonebook_snapshot.h), which holds the entries
// the editor's checks accepted and is put back when an editor closes; nothing here touches it.
//
// Entries are kept in the form the getters give (getSpeedDialEntry, getExtensionEntry, the
// template text), so entries the memory count does not hold compare as empty and the extension
// directory compares by position wherever the memory count keeps it.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "data/phonebook_records.h"
#include "data/table_kinds.h"

constexpr int kSpeedDialBlockSize = 500;
constexpr int kSpeedDialBlocks = kSpeedDialEntries / kSpeedDialBlockSize;  // 20

// What differs between two copies, per upload unit. A table that either copy does not hold counts
// as unchanged: without both sides there is nothing to compare.
struct PhonebookChanges {
  std::array<bool, kSpeedDialBlocks> speedDialBlocks{};
  bool extensions = false;
  bool templates = false;

  bool any() const;
  int speedDialBlockCount() const;
};

// A copy of any of the three phonebook tables, each present or not.
class PhonebookCopy {
 public:
  PhonebookCopy();
  ~PhonebookCopy();
  PhonebookCopy(const PhonebookCopy& other);
  PhonebookCopy& operator=(const PhonebookCopy& other);

  // Copies the live table of `kind` (the one table only).
  void take(ExchangeKind kind);
  void takeAll();
  void forget(ExchangeKind kind);
  void forgetAll();
  bool holds(ExchangeKind kind) const;
  // After a write, the parts it sent copied from the live tables: whole extension and template
  // tables, and speed-dial blocks into a held speed-dial copy (all 20 blocks make one).
  void takeWritten(const PhonebookChanges& written);

  // The copied entries; only while holds() the kind.
  const SpeedDialFields& speedDialEntry(int n) const;      // 0-9999
  const ExtensionFields& extensionSlot(int slot) const;    // 0-384, see extensionSlotPosition
  const TemplateMessage& templateMessage(int item) const;  // 0-999

 private:
  struct Tables;
  std::unique_ptr<Tables> m_tables;
};

// Accommodation position of extension-directory slot 0-384.
int extensionSlotPosition(int slot);

// What differs between the copies (see PhonebookChanges).
PhonebookChanges phonebookChanges(const PhonebookCopy& before, const PhonebookCopy& after);

// ---- the process-wide baseline ------------------------------------------------------------

// Empty at start-up and after resetPhonebookTables().
PhonebookCopy& phonebookBaseline();
// The live tables against the baseline; tables the baseline does not hold count as unchanged.
PhonebookChanges changedSinceBaseline();
// The speed-dial blocks (0-19) that differ from the baseline.
std::array<bool, kSpeedDialBlocks> changedSpeedDialBlocks();
bool extensionNamesChanged();
bool templatesChanged();

// ---- entry by entry -----------------------------------------------------------------------

// One field of one entry that differs, in the editor's terms. Texts are CP932 as the tables
// hold them; labels are UTF-8.
struct PhonebookDifference {
  ExchangeKind kind = ExchangeKind::SpeedDial;
  std::string entry;   // "短縮番号 0012", "収容位置 101", "項番 005"
  std::string field;   // "名前", "内線名称", "定型文", ...
  std::string before;  // CP932
  std::string after;   // CP932
};
// Every field of every entry that differs between the two copies, in entry order, for the
// tables both hold.
std::vector<PhonebookDifference> phonebookDifferences(const PhonebookCopy& before,
                                                      const PhonebookCopy& after);
