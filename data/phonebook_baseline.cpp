#include "data/phonebook_baseline.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "base/fixed_field.h"
#include "data/extension_directory.h"
#include "data/speed_dial.h"

namespace {

constexpr int kKinds = 3;

int kindIndex(ExchangeKind kind) { return static_cast<int>(kind); }

// Slot -> position, from the position rules (every slot has exactly one position).
const std::array<int, kExtensionSlots>& slotPositions() {
  static const std::array<int, kExtensionSlots> positions = [] {
    std::array<int, kExtensionSlots> p{};
    for (int position = 100; position < 1000; ++position) {
      const int slot = extensionSlot(position);
      if (slot >= 0 && slot < kExtensionSlots) p[static_cast<std::size_t>(slot)] = position;
    }
    return p;
  }();
  return positions;
}

template <typename T>
bool sameBytes(const T& a, const T& b) {
  return std::memcmp(&a, &b, sizeof(T)) == 0;
}

std::string numbered(const char* title, int width, int n) {
  char text[32];
  std::snprintf(text, sizeof text, "%s %0*d", title, width, n);
  return text;
}

std::string numberText(int value, int width) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*d", width, value);
  return text;
}

std::string fieldText(const char* field, std::size_t width) {
  return std::string(fixedFieldText(field, width));
}

// A template compares by its text: the bytes after it mean nothing.
std::string_view templateText(const PhonebookCopy& copy, int item) {
  return fixedFieldText(copy.templateMessage(item).text, 20);
}

}  // namespace

struct PhonebookCopy::Tables {
  bool held[kKinds] = {};
  std::vector<SpeedDialFields> speedDial;
  std::vector<ExtensionFields> extensions;
  std::vector<TemplateMessage> templates;
};

PhonebookCopy::PhonebookCopy() : m_tables(std::make_unique<Tables>()) {}
PhonebookCopy::~PhonebookCopy() = default;
PhonebookCopy::PhonebookCopy(const PhonebookCopy& other)
    : m_tables(std::make_unique<Tables>(*other.m_tables)) {}
PhonebookCopy& PhonebookCopy::operator=(const PhonebookCopy& other) {
  if (this != &other) *m_tables = *other.m_tables;
  return *this;
}

void PhonebookCopy::take(ExchangeKind kind) {
  Tables& t = *m_tables;
  switch (kind) {
    case ExchangeKind::SpeedDial:
      t.speedDial.resize(kSpeedDialEntries);
      for (int n = 0; n < kSpeedDialEntries; ++n)
        getSpeedDialEntry(n, t.speedDial[static_cast<std::size_t>(n)]);
      break;
    case ExchangeKind::Extensions:
      t.extensions.resize(kExtensionSlots);
      for (int slot = 0; slot < kExtensionSlots; ++slot)
        getExtensionEntry(0, extensionSlotPosition(slot),
                          t.extensions[static_cast<std::size_t>(slot)]);
      break;
    case ExchangeKind::Templates:
      t.templates.assign(std::begin(templateMessages), std::end(templateMessages));
      break;
  }
  t.held[kindIndex(kind)] = true;
}

void PhonebookCopy::takeAll() {
  for (ExchangeKind kind :
       {ExchangeKind::SpeedDial, ExchangeKind::Extensions, ExchangeKind::Templates})
    take(kind);
}

void PhonebookCopy::takeWritten(const PhonebookChanges& written) {
  if (written.speedDialBlockCount() == kSpeedDialBlocks) {
    take(ExchangeKind::SpeedDial);
  } else if (holds(ExchangeKind::SpeedDial)) {
    for (int n = 0; n < kSpeedDialEntries; ++n)
      if (written.speedDialBlocks[static_cast<std::size_t>(n / kSpeedDialBlockSize)])
        getSpeedDialEntry(n, m_tables->speedDial[static_cast<std::size_t>(n)]);
  }
  if (written.extensions) take(ExchangeKind::Extensions);
  if (written.templates) take(ExchangeKind::Templates);
}

void PhonebookCopy::forget(ExchangeKind kind) {
  Tables& t = *m_tables;
  t.held[kindIndex(kind)] = false;
  switch (kind) {
    case ExchangeKind::SpeedDial: t.speedDial = {}; break;
    case ExchangeKind::Extensions: t.extensions = {}; break;
    case ExchangeKind::Templates: t.templates = {}; break;
  }
}

void PhonebookCopy::forgetAll() { *m_tables = Tables{}; }

bool PhonebookCopy::holds(ExchangeKind kind) const { return m_tables->held[kindIndex(kind)]; }

const SpeedDialFields& PhonebookCopy::speedDialEntry(int n) const {
  return m_tables->speedDial.at(static_cast<std::size_t>(n));
}

const ExtensionFields& PhonebookCopy::extensionSlot(int slot) const {
  return m_tables->extensions.at(static_cast<std::size_t>(slot));
}

const TemplateMessage& PhonebookCopy::templateMessage(int item) const {
  return m_tables->templates.at(static_cast<std::size_t>(item));
}

int extensionSlotPosition(int slot) {
  return slot >= 0 && slot < kExtensionSlots ? slotPositions()[static_cast<std::size_t>(slot)] : 0;
}

bool PhonebookChanges::any() const { return speedDialBlockCount() > 0 || extensions || templates; }

int PhonebookChanges::speedDialBlockCount() const {
  int count = 0;
  for (bool changed : speedDialBlocks) count += changed ? 1 : 0;
  return count;
}

PhonebookChanges phonebookChanges(const PhonebookCopy& before, const PhonebookCopy& after) {
  PhonebookChanges changes;
  auto both = [&](ExchangeKind kind) { return before.holds(kind) && after.holds(kind); };
  if (both(ExchangeKind::SpeedDial)) {
    for (int n = 0; n < kSpeedDialEntries; ++n) {
      bool& block = changes.speedDialBlocks[static_cast<std::size_t>(n / kSpeedDialBlockSize)];
      if (!block) block = !sameBytes(before.speedDialEntry(n), after.speedDialEntry(n));
    }
  }
  if (both(ExchangeKind::Extensions)) {
    for (int slot = 0; slot < kExtensionSlots && !changes.extensions; ++slot)
      changes.extensions = !sameBytes(before.extensionSlot(slot), after.extensionSlot(slot));
  }
  if (both(ExchangeKind::Templates)) {
    for (int item = 0; item < kTemplateMessages && !changes.templates; ++item)
      changes.templates = templateText(before, item) != templateText(after, item);
  }
  return changes;
}

// ---- the process-wide baseline ------------------------------------------------------------

PhonebookCopy& phonebookBaseline() {
  static PhonebookCopy baseline;
  return baseline;
}

PhonebookChanges changedSinceBaseline() {
  const PhonebookCopy& baseline = phonebookBaseline();
  PhonebookCopy live;
  for (ExchangeKind kind :
       {ExchangeKind::SpeedDial, ExchangeKind::Extensions, ExchangeKind::Templates})
    if (baseline.holds(kind)) live.take(kind);
  return phonebookChanges(baseline, live);
}

std::array<bool, kSpeedDialBlocks> changedSpeedDialBlocks() {
  return changedSinceBaseline().speedDialBlocks;
}

bool extensionNamesChanged() { return changedSinceBaseline().extensions; }

bool templatesChanged() { return changedSinceBaseline().templates; }

// ---- entry by entry -----------------------------------------------------------------------

std::vector<PhonebookDifference> phonebookDifferences(const PhonebookCopy& before,
                                                      const PhonebookCopy& after) {
  std::vector<PhonebookDifference> out;
  auto both = [&](ExchangeKind kind) { return before.holds(kind) && after.holds(kind); };
  auto add = [&out](ExchangeKind kind, const std::string& entry, const char* field, std::string was,
                    std::string now) {
    if (was != now) out.push_back({kind, entry, field, std::move(was), std::move(now)});
  };
  if (both(ExchangeKind::SpeedDial)) {
    for (int n = 0; n < kSpeedDialEntries; ++n) {
      const SpeedDialFields& a = before.speedDialEntry(n);
      const SpeedDialFields& b = after.speedDialEntry(n);
      if (sameBytes(a, b)) continue;
      const std::string entry = numbered("短縮番号", 4, n);
      constexpr ExchangeKind k = ExchangeKind::SpeedDial;
      add(k, entry, "電話番号", fieldText(a.number, 24), fieldText(b.number, 24));
      add(k, entry, "名前", fieldText(a.name, 20), fieldText(b.name, 20));
      add(k, entry, "ヨミガナ", fieldText(a.reading, 20), fieldText(b.reading, 20));
      add(k, entry, "用途", fieldText(a.use, 3), fieldText(b.use, 3));
      add(k, entry, "短縮G", fieldText(a.speedDialGroup, 2), fieldText(b.speedDialGroup, 2));
      add(k, entry, "外線G", std::string(1, static_cast<char>(a.lineGroup)),
          std::string(1, static_cast<char>(b.lineGroup)));
      add(k, entry, "表示モード", numberText(a.displayMode, 1), numberText(b.displayMode, 1));
      add(k, entry, "定型文1", numberText(a.template1, 3), numberText(b.template1, 3));
      add(k, entry, "定型文2", numberText(a.template2, 3), numberText(b.template2, 3));
    }
  }
  if (both(ExchangeKind::Extensions)) {
    for (int slot = 0; slot < kExtensionSlots; ++slot) {
      const ExtensionFields& a = before.extensionSlot(slot);
      const ExtensionFields& b = after.extensionSlot(slot);
      if (sameBytes(a, b)) continue;
      const std::string entry = numbered("収容位置", 3, extensionSlotPosition(slot));
      constexpr ExchangeKind k = ExchangeKind::Extensions;
      add(k, entry, "内線番号", fieldText(a.extensionNumber, 4), fieldText(b.extensionNumber, 4));
      add(k, entry, "内線名称", fieldText(a.name, 10), fieldText(b.name, 10));
      add(k, entry, "ヨミガナ", fieldText(a.reading, 10), fieldText(b.reading, 10));
    }
  }
  if (both(ExchangeKind::Templates)) {
    for (int item = 0; item < kTemplateMessages; ++item)
      add(ExchangeKind::Templates, numbered("項番", 3, item), "定型文",
          std::string(templateText(before, item)), std::string(templateText(after, item)));
  }
  return out;
}
