#include "data/phonebook_file_io.h"

#include <algorithm>

#include "base/ascii_text.h"
#include "base/atomic_file.h"
#include "base/platform.h"
#include "base/text_file.h"
#include "data/exchange_files.h"
#include "data/exchange_format.h"
#include "data/load_report.h"
#include "data/local_file_text.h"
#include "data/process_state.h"
#include "data/tagged_files.h"
#include "data/user_info.h"

namespace {

OpResult noFile() { return OpResult::failed(kPhonebookNoFile, local_file_text::kNoFile); }
OpResult dataError() { return OpResult::failed(kPhonebookDataError, local_file_text::kDataError); }
OpResult saveError() { return OpResult::failed(kPhonebookSaveError, local_file_text::kSaveError); }

bool hasExtension(const std::string& path, std::string_view extension) {
  return lowerAscii(extensionOf(path)) == extension;
}

// A speed-dial file's form follows its name: ".csv" and ".zud8" hold 10 columns, any other name
// 7. The form found is also the link's until the next file or transfer says otherwise. The
// other kinds have one form and leave sysTanfMode alone.
SpeedDialForm speedDialFormFor(const std::string& path, ExchangeKind kind, bool csv) {
  if (kind != ExchangeKind::SpeedDial) return SpeedDialForm::TenColumns;
  sysTanfMode = (csv || hasExtension(path, ".zud8")) ? 1 : 0;
  return speedDialFormOf(sysTanfMode);
}

std::string_view elementFor(ExchangeKind kind, SpeedDialForm form) {
  if (kind == ExchangeKind::SpeedDial) {
    return form == SpeedDialForm::TenColumns ? kSysTanfElement : kSysTanElement;
  }
  return kind == ExchangeKind::Extensions ? kNaisenElement : kTemplateElement;
}

TaggedRows rowsFor(ExchangeKind kind, SpeedDialForm form) {
  if (kind == ExchangeKind::SpeedDial) return taggedSpeedDialRows(form);
  return kind == ExchangeKind::Extensions ? TaggedRows::Extensions : TaggedRows::Templates;
}

OpResult resultOfRead(const ExchangeReadSummary& summary) {
  tablesEdited = 1;
  return exchangeBodyRefused(summary) ? dataError() : OpResult::done();
}

OpResult loadCsvFile(const std::string& path, const ExchangeRead& read) {
  if (read.report) read.report->beginFile(path);
  ExchangeReadSummary summary;
  if (!readExchangeFile(path, read, &summary).ok()) return noFile();
  return resultOfRead(summary);
}

// The text read for a tagged file is its user-information text, the column header and the rows;
// the rows follow the element line of the file as they follow the column header of the text.
// The offset from a line of that text (numbered as readExchangeText numbers it) to the file's.
int rowLineOffset(std::string_view userText, int elementLine) {
  const bool userInfo = !userText.empty() && userText.front() == '2';
  std::string_view beforeHeader = userText;
  if (userInfo)
    beforeHeader.remove_prefix(std::min(static_cast<std::size_t>(kUserInfoBytes), userText.size()));
  int lineEnds = 0;
  for (std::size_t at = beforeHeader.find("\r\n"); at != std::string_view::npos;
       at = beforeHeader.find("\r\n", at + 2))
    ++lineEnds;
  return elementLine - 1 - lineEnds - (userInfo ? 1 : 0);
}

// The head of the file gives the user-information text; the rows of the kind's element follow
// it as exchange-file text, which is read into the tables as the exchange file would be.
OpResult loadTaggedFile(const std::string& path, const ExchangeRead& read) {
  TextFileReader reader;
  if (!reader.open(path)) return noFile();
  std::string text;
  int elementLine = 0;
  const TaggedHeaderResult head = collectTaggedHeader(
      reader, {"<systan>", "<naisen>", "<systanf>", "<m046>"}, text, &elementLine);
  if (head != TaggedHeaderResult::Found) return dataError();
  if (read.report) read.report->beginFile(path, rowLineOffset(text, elementLine));
  takeUserInfoFields(text);
  const std::string_view element = elementFor(read.kind, read.form);
  if (!convertTaggedRows(path, element, rowsFor(read.kind, read.form), text)) {
    return noFile();
  }
  ExchangeReadSummary summary;
  readExchangeText(read, text, &summary);
  return resultOfRead(summary);
}

// The exchange-file text of the kind becomes the tagged file, which replaces the target.
OpResult saveTaggedFile(const std::string& path, ExchangeKind kind, SpeedDialForm form) {
  std::string exchange;
  appendExchangeFileText(kind, form, exchange);
  std::string tagged;
  appendTaggedFile(rowsFor(kind, form), exchange, tagged);
  return replaceFileAtomically(path, tagged) ? OpResult::done() : saveError();
}

}  // namespace

bool isCsvFileName(const std::string& path) { return hasExtension(path, ".csv"); }

std::optional<ExchangeKind> phonebookKindOfFileName(const std::string& path) {
  const std::string ext = lowerAscii(extensionOf(path));
  if (ext == ".zud8" || ext == ".zud3") return ExchangeKind::SpeedDial;
  if (ext == ".zud4") return ExchangeKind::Extensions;
  if (ext == ".zud9") return ExchangeKind::Templates;
  return std::nullopt;
}

std::uint64_t phonebookSaveSpaceNeeded(ExchangeKind kind) {
  if (kind == ExchangeKind::SpeedDial) return 12000;
  if (kind == ExchangeKind::Extensions) return isMemoryCount990() ? 2000 : 4000;
  return 20000000;
}

OpResult loadPhonebookData(const std::string& path, ExchangeKind kind, LoadReport* report) {
  const bool csv = isCsvFileName(path);
  clearUserInfoFields();
  const ExchangeRead read{kind, speedDialFormFor(path, kind, csv), RowSource::UserFile, report};
  return csv ? loadCsvFile(path, read) : loadTaggedFile(path, read);
}

OpResult savePhonebookData(const std::string& path, ExchangeKind kind) {
  const bool csv = isCsvFileName(path);
  const SpeedDialForm form = speedDialFormFor(path, kind, csv);
  if (!csv) return saveTaggedFile(path, kind, form);
  return writeExchangeFile(path, kind, form).ok() ? OpResult::done() : saveError();
}
