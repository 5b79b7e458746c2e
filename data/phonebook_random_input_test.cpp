// Random bytes into every table setter: each call may change its own record and nothing else,
// and what it stores keeps the table's form (fields end with a NUL, values in range, the private
// lists consistent).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "data/phonebook_tables.h"
#include "data/process_state.h"
#include "data/system_data.h"

namespace {

constexpr std::size_t kImageSize = sizeof(PhonebookImage);

const unsigned char* bytesOf(const PhonebookImage& image) {
  return reinterpret_cast<const unsigned char*>(&image);
}

class RandomInputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    initProcessState();
    initSystemData();
    live_.assign(bytesOf(phonebookImage), bytesOf(phonebookImage) + kImageSize);
    baseline_.assign(bytesOf(baselineImage), bytesOf(baselineImage) + kImageSize);
    templates_.assign(reinterpret_cast<const unsigned char*>(templateMessages),
                      reinterpret_cast<const unsigned char*>(templateMessages) + sizeof templateMessages);
  }

  void fillRandom(void* p, std::size_t n) {
    auto* b = static_cast<unsigned char*>(p);
    for (std::size_t i = 0; i < n; ++i) {
      // Bias towards the bytes the rules look at: NUL, blanks, dial and forbidden characters.
      const unsigned r = rng_() % 16;
      static constexpr char kSpecial[] = "\0 ,\"\\<>0123*#PM-c";
      b[i] = r < 6 ? static_cast<unsigned char>(kSpecial[rng_() % (sizeof kSpecial - 1)])
                   : static_cast<unsigned char>(rng_());
    }
  }

  int randomIn(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }

  // A random entry number, position or item: mostly near the valid range, sometimes far off.
  int randomIndex(int lo, int hi) {
    if (rng_() % 20 == 0) return static_cast<int>(rng_());
    return randomIn(lo - 20, hi + 20);
  }

  // Expects `image` to equal `shadow` outside [begin, end), then takes that range into shadow.
  void expectOnlyChanged(const PhonebookImage& image, std::vector<unsigned char>& shadow,
                         std::size_t begin, std::size_t end) {
    const unsigned char* now = bytesOf(image);
    ASSERT_EQ(0, std::memcmp(now, shadow.data(), begin)) << "changed before " << begin;
    ASSERT_EQ(0, std::memcmp(now + end, shadow.data() + end, kImageSize - end))
        << "changed after " << end;
    std::copy(now + begin, now + end, shadow.begin() + static_cast<std::ptrdiff_t>(begin));
  }

  void expectTemplatesOnlyChanged(int first, int last) {
    const auto* now = reinterpret_cast<const unsigned char*>(templateMessages);
    const std::size_t begin = first < 0 ? 0 : static_cast<std::size_t>(first) * sizeof(TemplateMessage);
    const std::size_t end = first < 0 ? 0 : static_cast<std::size_t>(last + 1) * sizeof(TemplateMessage);
    ASSERT_EQ(0, std::memcmp(now, templates_.data(), begin));
    ASSERT_EQ(0, std::memcmp(now + end, templates_.data() + end, templates_.size() - end));
    std::copy(now + begin, now + end, templates_.begin() + static_cast<std::ptrdiff_t>(begin));
  }

  static void expectListsConsistent() {
    std::set<int> seen;
    int total = 0;
    for (const PrivateSpeedDialList& list : privateSpeedDialLists) {
      int used = 0;
      for (std::int32_t v : list.numbers) {
        if (v == -1) continue;
        ++used;
        ASSERT_TRUE(v >= 0 && v < kSpeedDialEntries) << v;
        ASSERT_TRUE(seen.insert(v).second) << "entry " << v << " listed twice";
      }
      ASSERT_EQ(used, list.count);
      total += used;
    }
    ASSERT_EQ(total, privateSpeedDialCounter);
  }

  static void expectStoredForm(const SpeedDialEntry& e) {
    for (int i = 12; i < 25; ++i) ASSERT_EQ(0, e.number[i]);
    ASSERT_EQ('\0', e.reading[20]);
    ASSERT_EQ('\0', e.name[20]);
    ASSERT_EQ('\0', e.use[3]);
    ASSERT_EQ('\0', e.speedDialGroup[2]);
    ASSERT_LE(e.lineGroup, 6);
    // Only a real trail byte (0x40-0x7E, 0x80-0xFC) after a lead byte may be a forbidden one.
    const std::size_t name = strnlen(e.name, 20);
    for (std::size_t i = 0; i < name; ++i) {
      const auto c = static_cast<unsigned char>(e.name[i]);
      if ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFE)) {
        const auto t = static_cast<unsigned char>(e.name[i + 1]);
        if ((t >= 0x40 && t <= 0x7E) || (t >= 0x80 && t <= 0xFC)) ++i;
        continue;
      }
      ASSERT_TRUE(c != ',' && c != '"' && c != '\\' && c != '<' && c != '>') << int(c);
    }
  }

  std::mt19937 rng_{0x5EED2024u};
  std::vector<unsigned char> live_;
  std::vector<unsigned char> baseline_;
  std::vector<unsigned char> templates_;
};

TEST_F(RandomInputTest, SpeedDialSetterChangesOnlyItsRecord) {
  for (int iteration = 0; iteration < 1500; ++iteration) {
    memoryMode = static_cast<std::uint8_t>(rng_() % 8 == 0 ? rng_() : 1 + rng_() % 2);
    const int n = randomIndex(0, kSpeedDialEntries - 1);
    SpeedDialFields f;
    fillRandom(&f, sizeof f);
    if (rng_() % 2) std::memcpy(f.use, rng_() % 2 ? "101\0" : "1\0\0\0", 4);
    if (rng_() % 3 == 0) std::memcpy(f.number, "0312345678\0", 11);
    const int stored = setSpeedDialEntry(n, f);
    ASSERT_EQ(stored, n >= 0 && n < speedDialCapacity() ? 1 : 0) << n;
    const std::size_t begin = stored ? static_cast<std::size_t>(n) * sizeof(SpeedDialEntry) : 0;
    const std::size_t end = stored ? begin + sizeof(SpeedDialEntry) : 0;
    expectOnlyChanged(phonebookImage, live_, begin, end);
    if (stored) expectStoredForm(phonebookImage.speedDial[n]);
    expectListsConsistent();
    if (HasFatalFailure()) return;

    SpeedDialFields out;
    ASSERT_EQ(1, getSpeedDialEntry(n, out));
    ASSERT_EQ('\0', out.number[24]);
    for (const char* c = out.number; *c; ++c) ASSERT_GE(dialCode(*c), 1);
  }
}

// Long random sequences of private, shared and other uses on a few positions, so that lists
// fill up, refuse, lose entries and take them back. After every call a full scan of all 228
// lists must find each entry exactly in the list of the position its stored use names, and in
// no list when the use names none.
TEST_F(RandomInputTest, PrivateListsMatchAFullScanOfTheStoredUses) {
  const char* uses[] = {"101", "102", "160", "201", "456", "1", "8", "0", "", "12", "999",
                        "100", "x1x", "abc", "161", "601"};
  std::vector<int> listedIn(kSpeedDialEntries);
  int fullTimes = 0;
  for (int iteration = 0; iteration < 6000; ++iteration) {
    if (iteration % 1000 == 999) memoryMode = static_cast<std::uint8_t>(memoryMode == 1 ? 2 : 1);
    // Entries from a small range, so that the same ones come back many times.
    const int n = randomIn(0, 120);
    SpeedDialFields f;
    fillRandom(&f, sizeof f);
    std::memset(f.use, 0, sizeof f.use);
    // Position 101 is asked for most often, so that its list is full much of the time.
    const char* use = rng_() % 5 < 2 ? "101" : uses[randomIn(0, sizeof uses / sizeof uses[0] - 1)];
    std::memcpy(f.use, use, std::strlen(use));
    ASSERT_EQ(1, setSpeedDialEntry(n, f));
    if (privateSpeedDialLists[0].count == kPrivateListSize) ++fullTimes;
    expectListsConsistent();
    if (HasFatalFailure()) return;

    std::fill(listedIn.begin(), listedIn.end(), 0);
    for (int i = 0; i < kPrivateListCount; ++i) {
      for (std::int32_t v : privateSpeedDialLists[i].numbers) {
        if (v >= 0) listedIn[static_cast<std::size_t>(v)] = i + 1;
      }
    }
    for (int m = 0; m <= 120; ++m) {
      const char* stored = phonebookImage.speedDial[m].use;
      const int value = isUseNumeric(stored) ? useValue(stored) : 0;
      const int expected = isExtensionPosition(value) ? privateListIndex(value) + 1 : 0;
      ASSERT_EQ(expected, listedIn[static_cast<std::size_t>(m)])
          << "entry " << m << " with use \"" << std::string(stored, strnlen(stored, 4))
          << "\" after call " << iteration << " on entry " << n;
    }
  }
  EXPECT_GT(fullTimes, 1000);  // the refusal of a full list was taken often
}

TEST_F(RandomInputTest, SpeedDialSetterAndBaselineReaderOnTheCopies) {
  for (int iteration = 0; iteration < 500; ++iteration) {
    memoryMode = static_cast<std::uint8_t>(1 + rng_() % 2);
    const int n = randomIndex(0, kSpeedDialEntries - 1);
    const bool held = n >= 0 && n < speedDialCapacity();
    const std::size_t begin = held ? static_cast<std::size_t>(n) * sizeof(SpeedDialEntry) : 0;
    const std::size_t end = held ? begin + sizeof(SpeedDialEntry) : 0;
    SpeedDialFields f;
    fillRandom(&f, sizeof f);
    if (rng_() % 2) {
      setSpeedDialEntry(baselineImage, n, f);
    } else {
      getBaselineSpeedDialEntry(n, f);
    }
    expectOnlyChanged(baselineImage, baseline_, begin, end);
    expectOnlyChanged(phonebookImage, live_, begin, end);
    if (HasFatalFailure()) return;
  }
}

TEST_F(RandomInputTest, ExtensionSetterChangesOnlyItsSlot) {
  for (int iteration = 0; iteration < 1500; ++iteration) {
    memoryMode = static_cast<std::uint8_t>(1 + rng_() % 2);
    const int d = rng_() % 10 == 0 ? randomIn(-2, 300) : 0;
    const int position = randomIndex(101, 846);
    ExtensionFields f;
    fillRandom(&f, sizeof f);
    const int stored = setExtensionEntry(d, position, f);
    ASSERT_EQ(stored, d == 0 && extensionSlot(position) >= 0 ? 1 : 0) << position;
    std::size_t begin = 0;
    std::size_t end = 0;
    if (stored) {
      const ExtensionEntry e = loadExtensionSlot(phonebookImage, extensionSlot(position));
      begin = extensionDirectoryOffset() + static_cast<std::size_t>(extensionSlot(position)) * sizeof e;
      end = begin + sizeof e;
      ASSERT_LE(strnlen(e.extensionNumber, 25), 4u);
      ASSERT_LE(strnlen(e.name, 21), 10u);
      ASSERT_LE(strnlen(e.reading, 21), 10u);
      for (int i = 0; i < 19; ++i) ASSERT_EQ(0, e.rest[i]);
    }
    expectOnlyChanged(phonebookImage, live_, begin, end);
    expectTemplatesOnlyChanged(-1, -1);
    if (HasFatalFailure()) return;

    ExtensionFields out;
    ASSERT_EQ(1, getExtensionEntry(d, position, out));
    ASSERT_LE(strnlen(out.extensionNumber, 25), 4u);
  }
}

TEST_F(RandomInputTest, TemplateSetterChangesOnlyItsItems) {
  for (int iteration = 0; iteration < 5000; ++iteration) {
    const int item = randomIndex(0, kTemplateMessages - 1);
    const int mode = rng_() % 3 == 0 ? static_cast<int>(rng_()) : randomIn(0, 2);
    std::string text(static_cast<std::size_t>(randomIn(0, 40)), '\0');
    fillRandom(text.data(), text.size());
    const int stored = setTemplateMessage(item, text, mode);
    ASSERT_EQ(stored, item >= 0 && item < kTemplateMessages ? 1 : 0);
    int last = item;
    if (stored && mode != 1 && item % 50 == 1) last = std::min(item + 49, kTemplateMessages - 1);
    expectTemplatesOnlyChanged(stored ? item : -1, last);
    if (HasFatalFailure()) return;
    if (stored) {
      ASSERT_EQ('\0', templateMessages[item].text[20]);
    }

    char out[21];
    getTemplateMessage(item, out);
    ASSERT_EQ(nullptr, std::memchr(out, '"', sizeof out));
  }
  EXPECT_EQ(0, std::memcmp(bytesOf(phonebookImage), live_.data(), kImageSize));
}

}  // namespace
