// Finding entries of the editor's tables: the search behind the find box of the editor pages and
// the script the server answers "find.js" with.
//
// A query is CP932 text (the page sends it Shift_JIS, %-encoded). It is first folded:
// full-width katakana and hiragana become half-width katakana (a voiced or semi-voiced kana
// becomes two half-width characters, "ダ" -> "ﾀﾞ"), the long-vowel mark and the kana punctuation
// their half-width forms, full-width ASCII and the ideographic space plain ASCII.
//
// - A query that is digits once blanks, "-", "(", ")" and "." are dropped (at least one digit) is
//   a number: it finds the entry with that entry number (a speed-dial or restriction entry of up
//   to four digits, even an empty one, so that the box leads to it; an extension position of up
//   to three digits) and every entry whose number holds the
//   digits anywhere (a "-" in the stored number is passed over).
// - Any other query is text: it finds the entries whose name or reading holds it, as typed or
//   folded, starting at a character boundary. A restriction entry has no name: its stored text is
//   searched.
//
// The tables are searched in order (speed dial, then extensions); within each the entry-number
// hit comes first, then the rest in entry order. Each entry is listed once. The hits are capped;
// the count of the ones left out is kept.
//
// The search reads the tables as the pages show them: while duplicateCheck is 1 the speed-dial
// entries of the referenceImage (a use or group finding is pending) or of the baselineImage,
// else the live table; the extension phonebook of directory 0; restrictionInput. It changes
// nothing, and runs only on a worker that holds tableLock().
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Which tables a find covers: the phonebook pages search speed dial and extensions, the
// restriction pages the restriction numbers.
enum class FindScope { Phonebook, Restrictions };

struct FindHit {
  char kind;            // 's' speed dial, 'e' extension, 'r' restriction number
  int entry;            // entry number, or the extension's position
  std::string name;     // CP932
  std::string reading;  // CP932 (half-width)
  std::string number;
  std::string
      page;  // the page showing the entry, with its row: "/hoshu/16tansyuku_01.html?3#row100"
};

struct FindResult {
  std::vector<FindHit> hits;
  int more = 0;  // matching entries left out by the cap
};

constexpr int kFindResultCap = 100;

// The page id the server answers with a find ("/find.js?q=...").
constexpr std::string_view kFindScriptId = "find.js";

// The query of a find request ("q=...&k=r", raw, as it follows "?"): q %-decoded to CP932 bytes,
// k=r selects the restriction numbers, anything else the phonebook.
struct FindRequest {
  std::string query;
  FindScope scope = FindScope::Phonebook;
};
FindRequest parseFindRequest(std::string_view rawQuery);

// The folded form of a CP932 query (see above).
std::string foldFindQuery(std::string_view cp932);

FindResult findEntries(std::string_view cp932Query, FindScope scope, int cap = kFindResultCap);

// The answer script (CP932): zuFindHits, an array of [kind, entry, name, reading, number, page]
// string arrays, and zuFindMore, the count left out. Texts are escaped as data-script values are.
std::string findScript(const FindResult& result);
