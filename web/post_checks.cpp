#include "web/post_checks.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "data/restriction_table.h"
#include "ui/message_box.h"
#include "web/data_script.h"
#include "web/num_err_dlg.h"

EntryFinding useFinding{false, 0};
EntryFinding shortGroupLowFinding{false, 0};
EntryFinding shortGroupHighFinding{false, 0};
std::int32_t duplicateCount = 0;
std::int32_t duplicatePairs[50][2] = {};
HWND ieFrameWindow = nullptr;

namespace {

// Message-box style of the findings: warning icon, set-foreground, topmost.
constexpr unsigned kFindingBoxStyle = MB_ICONWARNING | MB_SETFOREGROUND | MB_TOPMOST;
static_assert(kFindingBoxStyle == 0x50030);

// The first duplicate of a post records the pair, so a pair is recorded once any was counted.
bool duplicatePairRecorded() { return duplicateCount > 0; }

// The use of an entry as the rules count it: its value when it looks numeric, else 0.
int ruleUse(const char* use) { return isUseNumeric(use) ? useValue(use) : 0; }

// The speed-dial group read as a two-digit number (non-digits end it).
int ruleGroup(const char* group) {
  int value = 0;
  for (int i = 0; i < 2 && group[i] >= '0' && group[i] <= '9'; ++i) value = value * 10 + (group[i] - '0');
  return value;
}

void recordUseFinding(int entry) {
  if (!useFinding.set) useFinding = {true, entry};
}

void recordGroupFinding(EntryFinding& finding, int entry) {
  if (!shortGroupLowFinding.set && !shortGroupHighFinding.set) finding = {true, entry};
}

// ---- the duplicate index --------------------------------------------------------------------
//
// Key of an entry: its packed number up to the first blank code (the codes after it zeroed, so
// equal texts give equal keys) and the use value. Entries with an empty number are not indexed.
struct DialKey {
  unsigned char packed[12];
  std::int32_t use;
  bool operator==(const DialKey& other) const {
    return use == other.use && std::memcmp(packed, other.packed, sizeof packed) == 0;
  }
};

struct DialKeyHash {
  std::size_t operator()(const DialKey& k) const {
    std::uint64_t h = 1469598103934665603ull;
    for (unsigned char b : k.packed) h = (h ^ b) * 1099511628211ull;
    return static_cast<std::size_t>((h ^ static_cast<std::uint32_t>(k.use)) * 1099511628211ull);
  }
};

// False when the number is empty.
bool keyOfPacked(const unsigned char* packed, int use, DialKey& key) {
  std::memset(key.packed, 0, sizeof key.packed);
  key.use = use;
  for (int i = 0; i < 24; ++i) {
    const unsigned char code = (i % 2 == 0) ? (packed[i / 2] & 0x0F) : (packed[i / 2] >> 4);
    if (code == 0) break;
    key.packed[i / 2] |= (i % 2 == 0) ? code : static_cast<unsigned char>(code << 4);
  }
  return (key.packed[0] & 0x0F) != 0;
}

// What the index knows of one baselineImage entry: the bytes the key is made of.
struct EntryShadow {
  unsigned char number[12];
  char use[4];
};

class DuplicateIndex {
 public:
  // Brings the index up to date with baselineImage entries 0..capacity-1.
  void sync() {
    const int capacity = speedDialCapacity();
    if (capacity != m_capacity) {
      m_buckets.clear();
      std::memset(m_indexed, 0, sizeof m_indexed);
      std::memset(m_shadow, 0, sizeof m_shadow);
      m_capacity = capacity;
    }
    for (int i = 0; i < m_capacity; ++i) {
      const SpeedDialEntry& e = baselineImage.speedDial[i];
      const EntryShadow& s = m_shadow[i];
      if (std::memcmp(s.number, e.number, 12) != 0 || std::memcmp(s.use, e.use, 4) != 0) update(i);
    }
  }

  // Forgets everything: no memory count holds 0 entries, so the next sync starts afresh.
  void reset() { m_capacity = 0; }

  // Re-reads entry i of the baselineImage.
  void update(int i) {
    if (i < 0 || i >= m_capacity) return;
    if (m_indexed[i]) removeFrom(m_keys[i], i);
    const SpeedDialEntry& e = baselineImage.speedDial[i];
    std::memcpy(m_shadow[i].number, e.number, 12);
    std::memcpy(m_shadow[i].use, e.use, 4);
    m_indexed[i] = keyOfPacked(e.number, ruleUse(e.use), m_keys[i]);
    if (m_indexed[i]) insertInto(m_keys[i], i);
  }

  // The entries holding `key`, ascending (null when none).
  const std::vector<std::uint16_t>* holders(const DialKey& key) const {
    auto it = m_buckets.find(key);
    return it == m_buckets.end() ? nullptr : &it->second;
  }

 private:
  void removeFrom(const DialKey& key, int i) {
    auto it = m_buckets.find(key);
    if (it == m_buckets.end()) return;
    auto& v = it->second;
    auto pos = std::lower_bound(v.begin(), v.end(), static_cast<std::uint16_t>(i));
    if (pos != v.end() && *pos == i) v.erase(pos);
    if (v.empty()) m_buckets.erase(it);
  }
  void insertInto(const DialKey& key, int i) {
    auto& v = m_buckets[key];
    v.insert(std::lower_bound(v.begin(), v.end(), static_cast<std::uint16_t>(i)),
             static_cast<std::uint16_t>(i));
  }

  int m_capacity = 0;
  EntryShadow m_shadow[kSpeedDialEntries] = {};
  DialKey m_keys[kSpeedDialEntries] = {};
  bool m_indexed[kSpeedDialEntries] = {};
  std::unordered_map<DialKey, std::vector<std::uint16_t>, DialKeyHash> m_buckets;
};

DuplicateIndex& duplicateIndex() {
  static DuplicateIndex* index = new DuplicateIndex;  // lives for the process; large
  return *index;
}

// Counts the duplicates of entry e (fields f) among the baselineImage entries and records the
// first pair. With clearMode 1 a duplicate met after a pair was recorded erases f's number.
void scanDuplicates(int e, SpeedDialFields& f, int clearMode) {
  unsigned char packed[12];
  packDialCodes(std::string_view(f.number, strnlen(f.number, sizeof f.number)), packed);
  DialKey key;
  if (!keyOfPacked(packed, ruleUse(f.use), key)) return;
  const std::vector<std::uint16_t>* holders = duplicateIndex().holders(key);
  if (holders == nullptr) return;
  for (std::uint16_t i : *holders) {
    if (i == e) continue;
    const bool pairWasRecorded = duplicatePairRecorded();
    if (!pairWasRecorded) {
      duplicatePairs[0][0] = std::min<int>(i, e);
      duplicatePairs[0][1] = std::max<int>(i, e);
    }
    ++duplicateCount;
    if (clearMode == 1 && pairWasRecorded) {
      std::memset(f.number, 0, sizeof f.number);
      return;  // the number is gone: nothing further equals it
    }
  }
}

void showFinding(const std::string& text, HWND browserWindow) {
  if (browserWindow != nullptr) {
    MessageBox(browserWindow, text, "エラー", kFindingBoxStyle);
    return;
  }
  CNumErrDlg dlg;
  dlg.SetMessage(text);
  dlg.DoModal();
}

// The full check on an index that is up to date with the baselineImage.
void checkIndexedEntry(int e, SpeedDialFields& f, int clearMode) {
  scanDuplicates(e, f, clearMode);
  const bool hasNumber = f.number[0] != '\0';
  const int use = ruleUse(f.use);
  const int group = ruleGroup(f.speedDialGroup);
  if (use >= 1 && use <= 7 && group >= 16 && group <= 30) {
    recordGroupFinding(shortGroupLowFinding, e);
    std::memcpy(f.speedDialGroup, "01", 3);
  }
  if (use == 8 && group >= 1 && group <= 15) {
    recordGroupFinding(shortGroupHighFinding, e);
    std::memcpy(f.speedDialGroup, "16", 3);
  }
  if (use > 8 && !isExtensionPosition(use) && hasNumber) recordUseFinding(e);
  setSpeedDialEntry(baselineImage, e, f);
  duplicateIndex().update(e);
}

}  // namespace

void resetSpeedDialNumberIndex() { duplicateIndex().reset(); }

void clearEntryFindings() {
  useFinding.set = false;
  shortGroupLowFinding.set = false;
  shortGroupHighFinding.set = false;
}

void clearDuplicateFindings() {
  duplicateCount = 0;
  std::memset(duplicatePairs, 0, sizeof duplicatePairs);
}

bool speedDialFindingPending() {
  return useFinding.set || shortGroupLowFinding.set || shortGroupHighFinding.set;
}

int setCheckedSpeedDialEntry(int n, SpeedDialFields& f, int clearMode) {
  if (n < 0 || n >= kSpeedDialEntries) return 0;
  // An entry the memory count does not hold is not stored and raises nothing, but posting the
  // last entry of its page still checks the page.
  if (n < speedDialCapacity()) {
    setSpeedDialEntry(referenceImage, n, f);
    const bool hasNumber = f.number[0] != '\0';
    const int use = ruleUse(f.use);
    const int group = ruleGroup(f.speedDialGroup);
    bool ownFinding = false;
    if (use >= 1 && use <= 7 && group >= 16 && group <= 30) {
      recordGroupFinding(shortGroupLowFinding, n);
      ownFinding = true;
    }
    if (use == 8 && group >= 1 && group <= 15) {
      recordGroupFinding(shortGroupHighFinding, n);
      ownFinding = true;
    }
    if (use == 0 && hasNumber) {
      recordUseFinding(n);
      ownFinding = true;
    }
    if (use > 8 && !isExtensionPosition(use) && hasNumber) {
      recordUseFinding(n);
      ownFinding = true;
    }
    if (f.use[0] == '0' && f.use[1] == '\0' && !hasNumber) {
      std::memset(&referenceImage.speedDial[n], 0, sizeof(SpeedDialEntry));
      if (useFinding.set && useFinding.entry == n) useFinding.set = false;
    }
    if (!ownFinding) baselineImage.speedDial[n] = referenceImage.speedDial[n];
  }
  if (!useFinding.set && n % 50 == 49) {
    duplicateIndex().sync();
    for (int e = n - 49; e <= n; ++e) {
      SpeedDialFields g;
      getReferenceSpeedDialEntry(e, g);
      // The getter gives the line group as its digit, the setter takes the number.
      g.lineGroup = static_cast<std::uint8_t>(g.lineGroup - '0');
      checkIndexedEntry(e, g, clearMode);
    }
  }
  return 1;
}

void checkSpeedDialEntry(int e, SpeedDialFields& f, int clearMode) {
  if (e < 0 || e >= kSpeedDialEntries) return;
  duplicateIndex().sync();
  checkIndexedEntry(e, f, clearMode);
}

std::string speedDialFindingMessage(std::string_view postPath) {
  char text[512];
  if (useFinding.set) {
    std::snprintf(text, sizeof text, "短縮番号 %04d の用途が「0」または範囲外に設定されています。",
                  useFinding.entry);
  } else if (shortGroupLowFinding.set) {
    std::snprintf(text, sizeof text, "短縮番号 %04d の短縮Gは「01～15」を設定してください。",
                  shortGroupLowFinding.entry);
  } else if (shortGroupHighFinding.set) {
    std::snprintf(text, sizeof text, "短縮番号 %04d の短縮Gは「16～30」を設定してください。",
                  shortGroupHighFinding.entry);
  } else if (duplicateCount > 0) {
    const char* format =
        postPath.find("16tansyuku_") != std::string_view::npos
            ? "短縮番号%04d番と%04d番が重複して登録されています。\nこのままファイルの保存やダウンロードも可能ですが確認してください。"
            : "項番%04dと%04dが重複して登録されています。\nこのままファイルの保存やダウンロードも可能ですが確認してください。";
    std::snprintf(text, sizeof text, format, duplicatePairs[0][0], duplicatePairs[0][1]);
  } else {
    return {};
  }
  return text;
}

std::string restrictionFindingMessage() {
  std::string text;
  const int count = std::clamp<int>(restrictionErrors.count, 0, 50);
  for (int i = 0; i < count; ++i) {
    char line[128];
    std::snprintf(line, sizeof line, "【発信規制番号】項番%04d には半角数字で入力してください。\n",
                  restrictionErrors.indices[i]);
    text += line;
  }
  return text;
}

namespace {

struct PostFindings {
  std::string page;  // the page id of the posted page's data script and the query
  std::string text;
};
PostFindings lastPostFindings;

std::string scriptKey(std::string id, std::string_view query) {
  const std::size_t html = id.rfind(".html");
  if (html != std::string::npos && html + 5 == id.size()) id.replace(html, 5, ".js");
  return id + "?" + std::string(query);
}

}  // namespace

void rememberPostFindings(std::string_view postPath, std::string_view query) {
  std::string text = speedDialFindingMessage(postPath);
  if (!text.empty()) text += '\n';
  text += restrictionFindingMessage();
  while (!text.empty() && text.back() == '\n') text.pop_back();
  lastPostFindings = {scriptKey(pageIdOfPath(postPath), query), text};
}

std::string postFindingsFor(std::string_view scriptPath, std::string_view query) {
  if (lastPostFindings.text.empty() || scriptKey(pageIdOfPath(scriptPath), query) != lastPostFindings.page) return {};
  return lastPostFindings.text;
}

void reportPostFindings(std::string_view postPath, HWND browserWindow) {
  const std::string speedDial = speedDialFindingMessage(postPath);
  if (!speedDial.empty()) showFinding(speedDial, browserWindow);
  const std::string restriction = restrictionFindingMessage();
  if (!restriction.empty()) showFinding(restriction, browserWindow);
}

void findBrowserWindow() {
  // No browser window can be found on this platform: ieFrameWindow keeps its value.
}
