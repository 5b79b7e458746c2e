// The sample system data a fresh simulator starts with: an office of a mid-sized company with a
// full speed-dial table, named extensions, a page of templates, a full restriction list and a
// few weeks of incoming calls.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "base/cp932.h"
#include "base/sjis.h"
#include "mainunit/mainunit_tables.h"

namespace {

struct Named {
  std::string_view name;     // UTF-8
  std::string_view reading;  // half-width katakana, UTF-8
};

constexpr Named kCompanyCores[] = {
    {"山田", "ﾔﾏﾀﾞ"},   {"東海", "ﾄｳｶｲ"},   {"大和", "ﾀﾞｲﾜ"},     {"富士", "ﾌｼﾞ"},
    {"北斗", "ﾎｸﾄ"},    {"青葉", "ｱｵﾊﾞ"},   {"朝日", "ｱｻﾋ"},      {"三河", "ﾐｶﾜ"},
    {"丸山", "ﾏﾙﾔﾏ"},   {"中央", "ﾁｭｳｵｳ"},  {"日東", "ﾆｯﾄｳ"},     {"関東", "ｶﾝﾄｳ"},
    {"光洋", "ｺｳﾖｳ"},   {"千代田", "ﾁﾖﾀﾞ"}, {"若葉", "ﾜｶﾊﾞ"},     {"新星", "ｼﾝｾｲ"},
    {"平和", "ﾍｲﾜ"},    {"松本", "ﾏﾂﾓﾄ"},   {"明和", "ﾒｲﾜ"},      {"栄光", "ｴｲｺｳ"},
    {"白鳥", "ｼﾗﾄﾘ"},   {"大洋", "ﾀｲﾖｳ"},   {"三協", "ｻﾝｷｮｳ"},    {"昭和", "ｼｮｳﾜ"},
    {"東邦", "ﾄｳﾎｳ"},   {"南海", "ﾅﾝｶｲ"},   {"協和", "ｷｮｳﾜ"},     {"みどり", "ﾐﾄﾞﾘ"},
    {"さくら", "ｻｸﾗ"},  {"ひかり", "ﾋｶﾘ"},  {"アルファ", "ｱﾙﾌｧ"}, {"サンライズ", "ｻﾝﾗｲｽﾞ"},
};

constexpr Named kCompanyKinds[] = {
    {"商事", "ｼｮｳｼﾞ"}, {"工業", "ｺｳｷﾞｮｳ"}, {"物産", "ﾌﾞｯｻﾝ"},     {"建設", "ｹﾝｾﾂ"},
    {"電機", "ﾃﾞﾝｷ"},  {"運輸", "ｳﾝﾕ"},    {"製作所", "ｾｲｻｸｼｮ"},  {"食品", "ｼｮｸﾋﾝ"},
    {"不動産", "ﾌﾄﾞｳｻﾝ"}, {"印刷", "ｲﾝｻﾂ"}, {"商会", "ｼｮｳｶｲ"},   {"薬局", "ﾔｯｷｮｸ"},
    {"歯科", "ｼｶ"},    {"設計", "ｾｯｹｲ"},   {"精機", "ｾｲｷ"},       {"化学", "ｶｶﾞｸ"},
    {"産業", "ｻﾝｷﾞｮｳ"}, {"電設", "ﾃﾞﾝｾﾂ"}, {"交通", "ｺｳﾂｳ"},      {"保険", "ﾎｹﾝ"},
};

constexpr Named kFamilyNames[] = {
    {"佐藤", "ｻﾄｳ"},   {"鈴木", "ｽｽﾞｷ"},   {"高橋", "ﾀｶﾊｼ"}, {"田中", "ﾀﾅｶ"},
    {"伊藤", "ｲﾄｳ"},   {"渡辺", "ﾜﾀﾅﾍﾞ"},  {"山本", "ﾔﾏﾓﾄ"}, {"中村", "ﾅｶﾑﾗ"},
    {"小林", "ｺﾊﾞﾔｼ"}, {"加藤", "ｶﾄｳ"},    {"吉田", "ﾖｼﾀﾞ"}, {"山口", "ﾔﾏｸﾞﾁ"},
    {"井上", "ｲﾉｳｴ"},  {"木村", "ｷﾑﾗ"},    {"林", "ﾊﾔｼ"},    {"斎藤", "ｻｲﾄｳ"},
    {"清水", "ｼﾐｽﾞ"},  {"山崎", "ﾔﾏｻﾞｷ"},  {"森", "ﾓﾘ"},     {"池田", "ｲｹﾀﾞ"},
    {"橋本", "ﾊｼﾓﾄ"},  {"阿部", "ｱﾍﾞ"},    {"石川", "ｲｼｶﾜ"}, {"前田", "ﾏｴﾀﾞ"},
};

constexpr Named kGivenNames[] = {
    {"健一", "ｹﾝｲﾁ"}, {"誠", "ﾏｺﾄ"},     {"大輔", "ﾀﾞｲｽｹ"}, {"翔太", "ｼｮｳﾀ"},
    {"拓也", "ﾀｸﾔ"},  {"直樹", "ﾅｵｷ"},   {"浩二", "ｺｳｼﾞ"},  {"修", "ｵｻﾑ"},
    {"美咲", "ﾐｻｷ"},  {"陽子", "ﾖｳｺ"},   {"恵子", "ｹｲｺ"},   {"由美", "ﾕﾐ"},
    {"愛", "ｱｲ"},     {"智子", "ﾄﾓｺ"},   {"真由美", "ﾏﾕﾐ"}, {"裕子", "ﾕｳｺ"},
    {"和也", "ｶｽﾞﾔ"}, {"隆", "ﾀｶｼ"},     {"花子", "ﾊﾅｺ"},   {"太郎", "ﾀﾛｳ"},
};

constexpr Named kFacilities[] = {
    {"タクシー配車", "ﾀｸｼｰﾊｲｼｬ"},   {"宅配便集荷", "ﾀｸﾊｲﾋﾞﾝ"},   {"ビル管理室", "ﾋﾞﾙｶﾝﾘ"},
    {"警備センター", "ｹｲﾋﾞｾﾝﾀｰ"},  {"市役所", "ｼﾔｸｼｮ"},        {"税務署", "ｾﾞｲﾑｼｮ"},
    {"銀行 本店", "ｷﾞﾝｺｳ ﾎﾝﾃﾝ"},  {"郵便局", "ﾕｳﾋﾞﾝｷｮｸ"},     {"総合病院", "ｿｳｺﾞｳﾋﾞｮｳｲﾝ"},
    {"弁当 仕出し", "ﾍﾞﾝﾄｳ"},      {"複合機保守", "ﾌｸｺﾞｳｷﾎｼｭ"},  {"電話工事", "ﾃﾞﾝﾜｺｳｼﾞ"},
};

constexpr Named kDepartments[] = {
    {"受付", "ｳｹﾂｹ"},  {"総務", "ｿｳﾑ"},   {"経理", "ｹｲﾘ"},    {"営業", "ｴｲｷﾞｮｳ"},
    {"技術", "ｷﾞｼﾞｭﾂ"}, {"製造", "ｾｲｿﾞｳ"}, {"資材", "ｼｻﾞｲ"},  {"品証", "ﾋﾝｼｮｳ"},
    {"人事", "ｼﾞﾝｼﾞ"}, {"企画", "ｷｶｸ"},   {"倉庫", "ｿｳｺ"},    {"会議室", "ｶｲｷﾞ"},
};

constexpr std::string_view kTemplates[] = {
    "只今外出中です",     "会議中です",         "本日休業日です",   "折り返し電話します",
    "席を外しています",   "出張中です",         "来客中です",       "昼休み中です",
    "本日は直帰します",   "午後から出社します", "在宅勤務中",       "至急連絡ください",
    "FAXを送ります",      "資料を送付しました", "見積依頼あり",     "請求書の件",
    "納期確認の件",       "配送のご連絡",       "修理受付",         "点検のお知らせ",
    "予約確認",           "キャンセル連絡",     "お問合せ",         "代表番号へどうぞ",
    "担当者不在",         "営業時間外です",     "年末年始休業",     "夏季休業中",
    "臨時休業",           "工事中",             "停電のお知らせ",   "緊急連絡",
    "ｺｰﾙﾊﾞｯｸ希望",        "再度おかけ下さい",   "受付終了しました", "重要",
    "要確認",             "社長宛",             "経理宛",           "info@窓口",
};

// The special positions every unit carries: paging groups, speakers, door phones and services.
struct Special {
  int position;
  bool numbered;  // the extension number is the position
  std::string name;     // UTF-8
  std::string reading;  // UTF-8
};

std::string formatted(const char* format, int value) {
  char text[48];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::vector<Special> specialExtensions() {
  std::vector<Special> list = {{700, true, "内線一斉", "ﾅｲｾﾝｲｯｾｲ"},
                               {720, true, "ｽﾋﾟｰｶ呼", "ｽﾋﾟｰｶﾖﾋﾞ"},
                               {725, true, "ｽﾋﾟｰｶ+一斉", "ｽﾋﾟｰｶ+ｲｯｾｲ"},
                               {730, true, "一斉応答", "ｲｯｾｲｵｳﾄｳ"},
                               {750, true, "ｽﾋﾟｰｶ応答", "ｽﾋﾟｰｶｵｳﾄｳ"},
                               {770, false, "ｶﾒﾗID切替", "ｶﾒﾗIDｷﾘｶｴ"},
                               {771, false, "TELﾓﾆﾀ", "TELﾓﾆﾀ"},
                               {772, false, "TELﾓﾆﾀ送話", "TELﾓﾆﾀｿｳﾜ"},
                               {773, false, "INTGﾓﾆﾀ", "INTGﾓﾆﾀ"},
                               {774, false, "INT全ﾓﾆﾀ", "INTｾﾞﾝﾓﾆﾀ"},
                               {781, true, "ｼｽﾃﾑﾒｯｾｰｼﾞ", "ｼｽﾃﾑﾒｯｾｰｼﾞ"},
                               {782, true, "内線ﾒｯｾｰｼﾞ", "ﾅｲｾﾝﾒｯｾｰｼﾞ"},
                               {791, true, "ﾋﾞﾃﾞｵ会議", "ﾋﾞﾃﾞｵｶｲｷﾞ"},
                               {821, false, "ｻｰﾊﾞ発信1", "ｻｰﾊﾞﾊｯｼﾝ1"}};
  for (int g = 1; g <= 15; ++g) {
    list.push_back({700 + g, true, formatted("内G%02d呼", g), formatted("ﾅｲG%02dﾖﾋﾞ", g)});
    list.push_back({730 + g, true, formatted("内G%02d応答", g), formatted("ﾅｲG%02dｵｳﾄｳ", g)});
  }
  for (int s = 1; s <= 4; ++s) {
    list.push_back({720 + s, true, formatted("ｽﾋﾟｰｶ%d呼", s), formatted("ｽﾋﾟｰｶ%dﾖﾋﾞ", s)});
    list.push_back({750 + s, true, formatted("ｽﾋﾟｰｶ%d応答", s), formatted("ｽﾋﾟｰｶ%dｵｳﾄｳ", s)});
  }
  for (int d = 0; d < 5; ++d) {
    std::string door = formatted("ﾄﾞｱﾎﾝ%c", 'A' + d);
    list.push_back({761 + d, true, door, door});
  }
  for (int v = 1; v <= 16; ++v)
    list.push_back({830 + v, false, formatted("VMU同報%02d", v), formatted("VMUﾄﾞｳﾎｳ%02d", v)});
  return list;
}

// A small deterministic generator, so every fresh data folder holds the same sample data.
class SampleRandom {
 public:
  std::uint32_t next() {
    m_state ^= m_state << 13;
    m_state ^= m_state >> 7;
    m_state ^= m_state << 17;
    return static_cast<std::uint32_t>(m_state >> 16);
  }
  int below(int n) { return static_cast<int>(next() % static_cast<std::uint32_t>(n)); }
  template <typename T, std::size_t N>
  const T& pick(const T (&items)[N]) { return items[below(static_cast<int>(N))]; }

 private:
  std::uint64_t m_state = 0x2545F4914F6CDD1DULL;
};

// CP932 bytes of a UTF-8 text, cut to at most `bytes` without splitting a character.
std::string cp932Cut(std::string_view utf8, std::size_t bytes) {
  std::string s = utf8ToCp932(utf8);
  if (s.size() > bytes) s.resize(sjisCutLength(s.data(), bytes));
  return s;
}

// The CP932 bytes of `full` when they fit into `bytes`, else those of `shorter` (cut if need be):
// a department and a person's name, or the person's name alone.
std::string fitted(std::string_view full, std::string_view shorter, std::size_t bytes) {
  std::string s = utf8ToCp932(full);
  return s.size() <= bytes ? s : cp932Cut(shorter, bytes);
}

std::string digits(SampleRandom& rnd, int count) {
  std::string s;
  for (int i = 0; i < count; ++i) s += static_cast<char>('0' + rnd.below(10));
  return s;
}

std::string landlineNumber(SampleRandom& rnd) {
  struct Area { const char* code; int rest; };
  static constexpr Area kAreas[] = {{"03", 8},  {"06", 8},  {"045", 7}, {"052", 7},
                                    {"011", 7}, {"092", 7}, {"022", 7}, {"075", 7},
                                    {"0466", 6}, {"0276", 6}};
  const Area& a = rnd.pick(kAreas);
  std::string local = std::to_string(2 + rnd.below(8)) + digits(rnd, a.rest - 1);
  if (rnd.below(10) == 0) {  // written with hyphens, as some people type them
    std::size_t split = local.size() - 4;
    return std::string(a.code) + "-" + local.substr(0, split) + "-" + local.substr(split);
  }
  return a.code + local;
}

std::string mobileNumber(SampleRandom& rnd) {
  static constexpr const char* kPrefixes[] = {"090", "080", "070"};
  return std::string(rnd.pick(kPrefixes)) + std::to_string(1 + rnd.below(9)) + digits(rnd, 7);
}

MainUnitSpeedDial companyEntry(SampleRandom& rnd) {
  const Named& core = rnd.pick(kCompanyCores);
  const Named& kind = rnd.pick(kCompanyKinds);
  std::string name;
  switch (rnd.below(4)) {
    case 0: name = std::string("株式会社") + std::string(core.name) + std::string(kind.name); break;
    case 1: name = std::string(core.name) + std::string(kind.name) + "(株)"; break;
    case 2: name = std::string("有限会社") + std::string(core.name) + std::string(kind.name); break;
    default: name = std::string(core.name) + std::string(kind.name); break;
  }
  MainUnitSpeedDial e;
  e.name = cp932Cut(name, 20);
  e.reading = cp932Cut(std::string(core.reading) + std::string(kind.reading), 20);
  e.number = rnd.below(12) == 0 ? "0120" + digits(rnd, 6) : landlineNumber(rnd);
  if (rnd.below(40) == 0) e.number += "P" + digits(rnd, 3);  // dial-through to an extension
  return e;
}

MainUnitSpeedDial personEntry(SampleRandom& rnd) {
  const Named& family = rnd.pick(kFamilyNames);
  const Named& given = rnd.pick(kGivenNames);
  MainUnitSpeedDial e;
  bool mobile = rnd.below(3) != 0;
  std::string name = std::string(family.name) + " " + std::string(given.name);
  if (mobile && rnd.below(4) == 0) name += "(携帯)";
  e.name = cp932Cut(name, 20);
  e.reading = cp932Cut(std::string(family.reading) + " " + std::string(given.reading), 20);
  e.number = mobile ? mobileNumber(rnd) : landlineNumber(rnd);
  return e;
}

std::string threeDigits(int value) { return formatted("%03d", value); }

void seedSpeedDial(MainUnitTables& t, SampleRandom& rnd) {
  const int templateCount = static_cast<int>(std::size(kTemplates));
  int privateCount = 0;
  for (int i = 0; i < kMainUnitSpeedDials; ++i) {
    MainUnitSpeedDial e;
    int kind = rnd.below(20);
    if (kind == 0) {
      const Named& f = rnd.pick(kFacilities);
      e.name = cp932Cut(f.name, 20);
      e.reading = cp932Cut(f.reading, 20);
      e.number = landlineNumber(rnd);
    } else {
      e = kind < 12 ? companyEntry(rnd) : personEntry(rnd);
    }
    if (i % 67 == 5 && privateCount < 10 * 30) {
      // A private entry of one of the first ten extensions (at most 30 each); private entries
      // always sit in group 01 and line group 0 without display mode.
      e.use = std::to_string(101 + privateCount % 10);
      ++privateCount;
    } else {
      // Uses 1-7 take speed-dial groups 01-15 and use 8 groups 16-30, as the editor checks.
      const int use = rnd.below(8) == 0 ? 2 + rnd.below(7) : 1;
      e.use = std::to_string(use);
      e.group = formatted("%02d", (use == 8 ? 16 : 1) + rnd.below(15));
      e.lineGroup = std::to_string(rnd.below(5) == 0 ? 1 + rnd.below(6) : 0);
      if (rnd.below(6) == 0) {
        e.displayMode = "3";
        e.template1 = threeDigits(1 + rnd.below(templateCount));
        e.template2 = threeDigits(1 + rnd.below(templateCount));
      } else {
        e.displayMode = std::to_string(rnd.below(3));
      }
    }
    t.speedDial[i] = e;
  }
}

void seedExtensions(MainUnitTables& t, SampleRandom& rnd) {
  for (MainUnitExtension& e : t.extensions) {
    if (e.position > 456) continue;
    const Named& dept = kDepartments[(e.position % 100) % std::size(kDepartments)];
    const Named& family = rnd.pick(kFamilyNames);
    e.number = std::to_string(e.position);
    if (e.position % 100 == 1) {
      e.name = cp932Cut(std::string(dept.name) + "代表", 10);
      e.reading = cp932Cut(std::string(dept.reading) + "ﾀﾞｲﾋｮｳ", 10);
    } else {
      e.name = fitted(std::string(dept.name) + " " + std::string(family.name), family.name, 10);
      e.reading = fitted(std::string(dept.reading) + " " + std::string(family.reading), family.reading, 10);
    }
  }
  for (const Special& s : specialExtensions()) {
    MainUnitExtension& e = t.extensions[extensionIndexOf(s.position)];
    e.number = s.numbered ? std::to_string(s.position) : "";
    e.name = cp932Cut(s.name, 10);
    e.reading = cp932Cut(s.reading, 10);
  }
}

void seedTemplates(MainUnitTables& t) {
  for (std::size_t i = 0; i < std::size(kTemplates); ++i) t.templates[i + 1] = cp932Cut(kTemplates[i], 20);
}

void seedRestrictions(MainUnitTables& t) {
  // Premium-rate, information and international services an office usually bars. Every number
  // is distinct: 7919 is coprime to 10^6, so the six-digit tails never repeat within a prefix.
  static constexpr const char* kPrefixes[] = {"0990", "0570", "0180", "010", "0089", "0067"};
  char tail[8];
  for (int i = 0; i < kMainUnitRestrictions; ++i) {
    std::snprintf(tail, sizeof tail, "%06d", static_cast<int>((static_cast<long>(i) * 7919) % 1000000));
    t.restrictions[i] = std::string(kPrefixes[i % 6]) + tail;
  }
}

// Call times, newest first: business hours on weekdays, a few minutes apart.
class CallClock {
 public:
  CallClock() : m_day(std::chrono::sys_days{std::chrono::year{2024} / 6 / 28}), m_seconds(17 * 3600 + 45 * 60) {}
  void stepBack(int seconds) {
    m_seconds -= seconds;
    while (m_seconds < 8 * 3600 + 30 * 60) {
      do m_day -= std::chrono::days{1};
      while (std::chrono::weekday{m_day} == std::chrono::Saturday ||
             std::chrono::weekday{m_day} == std::chrono::Sunday);
      m_seconds += 18 * 3600 - (8 * 3600 + 30 * 60);
    }
  }
  std::string date() const {
    std::chrono::year_month_day ymd{m_day};
    char text[16];
    std::snprintf(text, sizeof text, "%04d/%02u/%02u", static_cast<int>(ymd.year()),
                  static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()));
    return text;
  }
  int seconds() const { return m_seconds; }

 private:
  std::chrono::sys_days m_day;
  int m_seconds;
};

std::string clockText(int seconds) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", (seconds / 3600) % 24, (seconds / 60) % 60, seconds % 60);
  return text;
}

void seedInternalHistory(MainUnitTables& t, SampleRandom& rnd) {
  CallClock clock;
  for (int n = 1; n <= kMainUnitHistoryRecords; ++n) {
    clock.stepBack(60 + rnd.below(900));
    const MainUnitExtension& caller = t.extensions[rnd.below(228)];
    const MainUnitExtension& called = t.extensions[rnd.below(228)];
    int start = clock.seconds();
    int ringEnd = start + 2 + rnd.below(20);
    int answer = rnd.below(5) == 0 ? 0 : 1 + rnd.below(2);
    int talk = answer ? 10 + rnd.below(600) : 0;
    static constexpr const char* kCallerTypes[] = {"1", "1", "1", "2", "3", "a"};
    std::string group = formatted("%02d", 1 + rnd.below(15));
    std::string reason = formatted("%02d", rnd.below(6));
    t.internalHistory.push_back({
        std::to_string(n), clock.date(), clockText(start), clockText(ringEnd), caller.number,
        caller.name, rnd.pick(kCallerTypes), rnd.below(2) ? called.name : called.number,
        std::to_string(answer), rnd.below(25) == 0 ? caller.number : "",
        answer ? called.name : "", answer == 1 ? std::to_string(1 + rnd.below(3)) : "",
        answer ? clockText(ringEnd + talk) : "", answer ? clockText(talk) : "", group, reason});
  }
}

void seedExternalHistory(MainUnitTables& t, SampleRandom& rnd) {
  CallClock clock;
  for (int n = 1; n <= kMainUnitHistoryRecords; ++n) {
    clock.stepBack(45 + rnd.below(700));
    const MainUnitSpeedDial& from = t.speedDial[rnd.below(kMainUnitSpeedDials)];
    bool known = rnd.below(3) != 0;  // a caller found in the speed-dial table shows its name
    std::string number = known ? from.number : (rnd.below(2) ? mobileNumber(rnd) : landlineNumber(rnd));
    std::string digitsOnly;
    for (char c : number)
      if (c >= '0' && c <= '9') digitsOnly += c;
    if (digitsOnly.size() > 16) digitsOnly.resize(16);
    const MainUnitExtension& answerer = t.extensions[rnd.below(228)];
    int start = clock.seconds();
    int ringEnd = start + 3 + rnd.below(25);
    int answer = rnd.below(6) == 0 ? 0 : 1 + rnd.below(2);
    int talk = answer ? 15 + rnd.below(900) : 0;
    std::string group = formatted("%02d", 1 + rnd.below(15));
    t.externalHistory.push_back({
        std::to_string(n), clock.date(), clockText(start), clockText(ringEnd),
        rnd.below(30) == 0 ? "" : digitsOnly, known ? from.name : "", std::to_string(answer),
        rnd.below(30) == 0 ? answerer.number : "", answer ? answerer.name : "",
        answer ? clockText(ringEnd + talk) : "", answer ? clockText(talk) : "", group});
  }
}

}  // namespace

MainUnitTables seededMainUnitTables() {
  MainUnitTables t;
  SampleRandom rnd;
  seedSpeedDial(t, rnd);
  seedExtensions(t, rnd);
  seedTemplates(t);
  seedRestrictions(t);
  seedInternalHistory(t, rnd);
  seedExternalHistory(t, rnd);
  return t;
}
