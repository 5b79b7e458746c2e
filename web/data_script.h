// The data scripts of the editor pages: JavaScript arrays built from the tables at the moment a
// page asks for them.
//
// A page id is the request path without the folders "\hoshu\" and "\system\" and without any
// other "\" ("\hoshu\16tansyuku_01.js" -> "16tansyuku_01.js"). Its leading number is the group
// (1-27), the number after its first "_" the page within the group. The groups share one list of
// pages, each group starting at its own place in it:
//
//   list place  descriptor                      reached as (group-page)
//   0-3         (not a page)                    1..15-1..4, 17-1..4, 19..22-1..4
//   4           "m070_%04dn%d" speed dial       16-1 (and 17-5, ...)
//   5           "i14_%03d_%02d_%dn%d" engine    16-2, 18-1
//   6           "m072_%dn%d" extension names    16-3, 18-2, 23-1 (9 pages)
//   7           "m072_%dn%d" positions 700-754  23-2
//   8           "m072_%dn%d" positions 761-846  23-3
//   9           "m073_%04dn%02d" internal hist  24-1 (100 pages)
//   10          "m074_%04dn%02d" external hist  25-1, 24-2 (100 pages)
//   11          "m018_%04d" restriction numbers 26-1 (200 pages)
//   12          "m046_%03d" templates 1-950     27-1 (19 pages)
//   13          "m046_%03d" templates 951-999   27-2
//
// A paged descriptor asked with a page number (the query, 1..pages) starts with the arrays
// arFormat (the name format cut at its conversions), arSeq (the nesting order) and arParam (the
// index ranges of the page); without a valid number it gives page 1 without them. arVals holds
// the value of every field in enumeration order: the outermost dimension of the sequence runs
// slowest. A single page asked with a page number fails after its first line.
//
// Values are written between double quotes. A double quote, a single-byte backslash or a line
// end inside a value is escaped (\" \\ \r \n), so a value cannot end its string early, and "<"
// and ">" are written as \x3C and \x3E, so a value cannot end the script's wrapper or element;
// the page reads the same characters back. CP932 trail bytes are never taken for a backslash,
// and a lead byte that forms no character with the byte after it is written as a blank. A value
// without these bytes is copied exactly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

struct IndexRange {
  std::uint16_t lo;
  std::uint16_t hi;
};

struct PageDescriptor {
  const char* nameFormat;      // printf format of the field names
  std::int32_t tuplesPerPage;  // index-range tuples on one page (0: no indices)
  std::int32_t dimensions;     // indices per name (1-4)
  std::int32_t pages;          // >= 2 paged, 1 a single page
  std::int8_t sequence[4];     // sequence[0] the innermost dimension
  const IndexRange* ranges;    // tuplesPerPage * dimensions ranges per page, pages in order
};

// The descriptors of a group's page (a null-terminated list), or null when the group (1-27) or
// page (from 1) reaches no page.
const PageDescriptor* const* pageDescriptors(int group, int page);

// The page id of a request path ('\' separated, as the server keeps it).
std::string pageIdOfPath(std::string_view requestPath);

// Writes the data script of page `pageId` into out, at most `capacity` bytes (no NUL is added).
// `query` is the raw request query or null. Returns the capacity left, or -1 on failure: no id,
// no "_" in the id, a capacity of 16 or less, a group or page out of range (nothing written),
// or a failure inside a started script (what was written stays). *written (when given) receives
// the number of bytes written.
int GenerateDataScript(const char* pageId, char* out, int capacity, const char* query,
                       int* written = nullptr);

// `value` escaped as a data-script value is, without the quotes around it: for other scripts the
// server generates from the tables.
std::string scriptStringValue(std::string_view value);

// The capacity the server gives a data script.
constexpr int kDataScriptCapacity = 12000;
