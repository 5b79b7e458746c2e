// The upload blocks: the XML files into which an exchange file is cut for the main unit.
//
// The block makers write to FILE*s the caller opened in binary mode and still owns (they never
// close them); the blocks after the first are created by the block maker itself beside the first
// one, each replaced atomically.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "data/table_kinds.h"

// The rows of an exchange or local text file after its user-information line (192 bytes) and
// its column-header line (up to and including its LF), each without its line end; lines that do
// not begin with a digit are left out. The FILE* form reads the whole file from its start when
// constructed; the text form reads bytes the caller keeps alive while the object is used.
class ExchangeFileRows {
 public:
  explicit ExchangeFileRows(std::FILE* file);
  explicit ExchangeFileRows(std::string_view text);
  ExchangeFileRows(const ExchangeFileRows&) = delete;
  ExchangeFileRows& operator=(const ExchangeFileRows&) = delete;

  bool next(std::string_view& row);

 private:
  void skipHeaderLines();

  std::string m_owned;
  std::string_view m_text;
  std::size_t m_pos = 0;
};

// Upload blocks. Each reads an exchange file written by writeExchangeFile (or, for the
// restriction numbers, "hkiseinotmp.txt") from after its user-information and column-header
// lines, and writes the first block into `firstBlock`; every following block is created beside
// `firstBlockPath` under its own name. Return 1 when every block was written, 0 when a
// following block could not be created or written.
//
// makeSpeedDialBlocks: the 10-column form is "systanf" ("sys-tanf0000.txt" ...), the 7-column
// form "systan"; 500 rows a block. The last block ends in "</root>" with no line end.
int makeSpeedDialBlocks(std::FILE* exchange, std::FILE* firstBlock,
                        const std::string& firstBlockPath, SpeedDialForm form);
// "naisen101.txt" (rows 1-51), "naisen151.txt", "naisen241.txt", "naisen335.txt",
// "naisen429.txt" (rows 202 to the end).
int makeExtensionBlocks(std::FILE* exchange, std::FILE* firstBlock,
                        const std::string& firstBlockPath);
// The one template block "usertkbn.txt" from "usertkbntmp.txt"; firstBlockPath is not used.
int makeTemplateBlock(std::FILE* exchange, std::FILE* firstBlock,
                      const std::string& firstBlockPath);
// "hkiseino0000.txt" ... "hkiseino9000.txt", 1000 rows a block.
int makeRestrictionBlocks(std::FILE* exchange, std::FILE* firstBlock,
                          const std::string& firstBlockPath);
