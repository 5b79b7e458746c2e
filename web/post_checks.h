// The checks made when an editor page is posted: the checking speed-dial setter, the full entry
// check of a completed page of 50, the finding variables they record, and the report of the
// findings to the user.
//
// The checks never refuse a post. Entries are written as typed into referenceImage; entries
// without a finding of their own go on to baselineImage, which restorePhonebook() later carries
// into the live tables (data/phonebook_tables.h). A completed page (its entry 49 mod 50 posted)
// is checked as a whole while no use finding is pending: duplicates are counted against the
// baselineImage, wrong speed-dial groups are corrected, and every entry of the page is stored
// into the baselineImage.
//
// The duplicate scan does not walk the table per entry: it keeps an index of the baselineImage's
// numbers and uses, brought up to date from the image itself before each page check, so any
// change to the image made elsewhere (a snapshot, a file load) is seen.
//
// Everything here is process-wide and unlocked: only a worker that holds tableLock() calls it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "data/phonebook_tables.h"
#include "ui/win_types.h"

// One finding: whether it is recorded and the entry it names.
struct EntryFinding {
  bool set;
  std::int32_t entry;
};

// A use of "0" (or none) with a number, or a use that is neither 1-8 nor an extension position.
extern EntryFinding useFinding;
// Uses 1-7 need a speed-dial group of 01-15.
extern EntryFinding shortGroupLowFinding;
// Use 8 needs a speed-dial group of 16-30.
extern EntryFinding shortGroupHighFinding;
// Duplicates found since the last parse, and the pairs of entries (only the first is used).
extern std::int32_t duplicateCount;
extern std::int32_t duplicatePairs[50][2];

// Forgets the duplicate scan's index of the baselineImage's numbers; the next page check builds
// it again from the image. For a change of the memory count (the main dialog's phonebook edit
// button); the tables themselves are not touched. Call while no editor server runs.
void resetSpeedDialNumberIndex();

// Clears the three entry findings (before every parse of a post).
void clearEntryFindings();
// Clears the duplicate count and pairs (the parser does this before every parse).
void clearDuplicateFindings();
// Whether a use or speed-dial-group finding is pending: the page then shows what was typed.
bool speedDialFindingPending();

// Stores a posted speed-dial entry n (0-9999) through the checks. f is altered as
// setSpeedDialEntry alters it. clearMode 0 is the post's; with 1 a further duplicate of an entry
// loses its number. Returns 0 for an n outside 0-9999 (nothing changes), else 1.
int setCheckedSpeedDialEntry(int n, SpeedDialFields& f, int clearMode);

// The full check of entry e (0-9999) with fields f read from the referenceImage: counts its
// duplicates in the baselineImage, corrects its speed-dial group, records a use finding for a
// use that is out of range, and stores it into the baselineImage.
void checkSpeedDialEntry(int e, SpeedDialFields& f, int clearMode);

// The message for the speed-dial findings ("" when there is none): the first of the use finding,
// the two group findings and the duplicates. `postPath` is the posted request path; the
// duplicate message names speed-dial numbers when it contains "16tansyuku_".
std::string speedDialFindingMessage(std::string_view postPath);
// One line per entry of restrictionErrors, in the order recorded ("" when the list is empty).
std::string restrictionFindingMessage();

// The findings of the last post, kept for the page they came from so that the page can show them
// when it comes back: remembered by the worker after every post (an empty text when there were
// none), answered for the data script of the same page (same name with ".js" for ".html", same
// query) until the next post. UTF-8, one message per line.
void rememberPostFindings(std::string_view postPath, std::string_view query);
std::string postFindingsFor(std::string_view scriptPath, std::string_view query);

// Shows the findings of the last parse: each message in a box owned by `browserWindow` when one
// is known, otherwise in the error dialog (CNumErrDlg), modally on the calling thread.
void reportPostFindings(std::string_view postPath, HWND browserWindow);

// The browser window messages are shown over. No browser window is ever known on this platform,
// so this stays null and the messages take the error dialog.
extern HWND ieFrameWindow;
// Looks for the browser window; keeps the earlier value when none is found.
void findBrowserWindow();
