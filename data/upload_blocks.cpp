#include "data/upload_blocks.h"

#include <algorithm>
#include <memory>

#include "base/atomic_file.h"
#include "base/platform.h"
#include "data/exchange_format.h"

namespace {

bool startsWithDigit(std::string_view s) { return !s.empty() && s.front() >= '0' && s.front() <= '9'; }

// ---- upload blocks ------------------------------------------------------------------------

// The block files of one upload: the first is the caller's, each following one is created
// here and replaced atomically once complete.
class BlockSequence {
 public:
  explicit BlockSequence(std::FILE* first) : m_first(first) {}
  BlockSequence(const BlockSequence&) = delete;
  BlockSequence& operator=(const BlockSequence&) = delete;

  void write(std::string_view bytes) {
    std::FILE* out = m_current ? m_current->file() : (m_sinkLost ? nullptr : m_first);
    if (!out) return;
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size()) m_ok = false;
  }

  void startNext(const std::string& path) {
    finishCurrent();
    m_current = std::make_unique<AtomicFileWriter>(path);
    if (!m_current->open()) {
      m_current.reset();
      m_sinkLost = true;
      m_ok = false;
    }
  }

  // Returns 1 when every block was written.
  int finish() {
    finishCurrent();
    if (m_first && std::fflush(m_first) != 0) m_ok = false;
    return m_ok ? 1 : 0;
  }

 private:
  void finishCurrent() {
    if (m_current && !m_current->commit()) m_ok = false;
    m_current.reset();
  }

  std::FILE* m_first;
  std::unique_ptr<AtomicFileWriter> m_current;
  bool m_sinkLost = false;
  bool m_ok = true;
};

std::string numberedBlockPath(const std::string& firstBlockPath, std::string_view prefix, int first) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%04d.txt", first);
  return directoryOf(firstBlockPath) + std::string(prefix) + digits;
}

std::string commasToAt(std::string_view row) {
  std::string out(row);
  std::replace(out.begin(), out.end(), ',', '@');
  return out;
}

// The blocks of an upload cut by row count: each row followed by "," LF LF, `rowsPerBlock` rows
// to a block, at most `blockCount` blocks; a block after the first is named `prefix` and the
// number of its first row ("0500.txt" ...). Restriction rows carry '@' for ','.
struct NumberedBlocks {
  std::string_view element;
  std::string_view prefix;
  int rowsPerBlock;
  int blockCount;
  bool commasAsAt;
};

int makeNumberedBlocks(std::FILE* exchange, std::FILE* firstBlock,
                       const std::string& firstBlockPath, const NumberedBlocks& layout) {
  const std::string element(layout.element);
  const std::string open = std::string(kRootOpen) + "\n\n<" + element + ">\n\n";
  const std::string close = "</" + element + ">\n\n" + std::string(kRootClose);
  ExchangeFileRows rows(exchange);
  BlockSequence blocks(firstBlock);
  blocks.write(open);
  std::string_view row;
  int count = 0;
  while (rows.next(row)) {
    if (layout.commasAsAt) {
      blocks.write(commasToAt(row));
    } else {
      blocks.write(row);
    }
    blocks.write(",\n\n");
    ++count;
    if (count % layout.rowsPerBlock == 0 && count / layout.rowsPerBlock < layout.blockCount) {
      blocks.write(close);
      blocks.write("\n");
      blocks.startNext(numberedBlockPath(firstBlockPath, layout.prefix, count));
      blocks.write(open);
    }
  }
  blocks.write(close);
  return blocks.finish();
}

}  // namespace

// ---- rows of an exchange file -------------------------------------------------------------

ExchangeFileRows::ExchangeFileRows(std::FILE* exchange) : m_owned(readOpenFileBytes(exchange)) {
  m_text = m_owned;
  skipHeaderLines();
}

ExchangeFileRows::ExchangeFileRows(std::string_view text) : m_text(text) { skipHeaderLines(); }

void ExchangeFileRows::skipHeaderLines() {
  const std::size_t start = std::min<std::size_t>(kUserInfoBytes, m_text.size());
  const std::size_t headerEnd = m_text.find('\n', start);
  m_pos = headerEnd == std::string_view::npos ? m_text.size() : headerEnd + 1;
}

bool ExchangeFileRows::next(std::string_view& row) {
  while (m_pos < m_text.size()) {
    std::size_t end = m_text.find('\n', m_pos);
    if (end == std::string_view::npos) end = m_text.size();
    std::string_view line = m_text.substr(m_pos, end - m_pos);
    m_pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (startsWithDigit(line)) {
      row = line;
      return true;
    }
  }
  return false;
}

// ---- upload blocks ------------------------------------------------------------------------

int makeSpeedDialBlocks(std::FILE* exchange, std::FILE* firstBlock,
                        const std::string& firstBlockPath, SpeedDialForm form) {
  const bool tenColumns = form == SpeedDialForm::TenColumns;
  const NumberedBlocks layout{tenColumns ? kSysTanfElement : kSysTanElement,
                              tenColumns ? kSysTanfBlockPrefix : kSysTanBlockPrefix,
                              kSpeedDialBlockRows, kSpeedDialBlockCount, false};
  return makeNumberedBlocks(exchange, firstBlock, firstBlockPath, layout);
}

int makeExtensionBlocks(std::FILE* exchange, std::FILE* firstBlock,
                        const std::string& firstBlockPath) {
  const std::string open = std::string(kRootOpen) + "\n\n<" + std::string(kNaisenElement) + ">\n\n";
  const std::string close = "</" + std::string(kNaisenElement) + ">\n\n" + std::string(kRootClose) + "\n";
  ExchangeFileRows rows(exchange);
  BlockSequence blocks(firstBlock);
  blocks.write(open);
  std::string_view row;
  int count = 0;
  std::size_t block = 0;
  while (rows.next(row)) {
    blocks.write(row);
    blocks.write(",\n");
    ++count;
    if (block < std::size(kNaisenBlockEnds) && count == kNaisenBlockEnds[block]) {
      ++block;
      blocks.write(close);
      blocks.startNext(directoryOf(firstBlockPath) + std::string(kNaisenBlockNames[block]));
      blocks.write(open);
    }
  }
  blocks.write(close);
  return blocks.finish();
}

int makeTemplateBlock(std::FILE* exchange, std::FILE* firstBlock, const std::string&) {
  ExchangeFileRows rows(exchange);
  BlockSequence blocks(firstBlock);
  blocks.write(std::string(kRootOpen) + "\r\n<" + std::string(kTemplateElement) + ">\r\n");
  std::string_view row;
  while (rows.next(row)) {
    blocks.write(commasToAt(row));
    blocks.write("\r");
  }
  blocks.write("</" + std::string(kTemplateElement) + ">\r\n" + std::string(kRootClose));
  return blocks.finish();
}

int makeRestrictionBlocks(std::FILE* exchange, std::FILE* firstBlock,
                          const std::string& firstBlockPath) {
  const NumberedBlocks layout{kRestrictionElement, kHkiseinoBlockPrefix, kRestrictionBlockRows,
                              kRestrictionBlockCount, true};
  return makeNumberedBlocks(exchange, firstBlock, firstBlockPath, layout);
}
