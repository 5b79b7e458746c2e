#include "data/phonebook_file_io.h"

#include "base/ascii_text.h"
#include "base/atomic_file.h"
#include "base/platform.h"
#include "base/text_file.h"
#include "data/exchange_files.h"
#include "data/exchange_format.h"
#include "data/process_state.h"
#include "data/tagged_files.h"
#include "data/user_info.h"

namespace {

bool hasExtension(const std::string& path, std::string_view extension) {
  return lowerAscii(extensionOf(path)) == extension;
}

int exchangeKindOf(int kind) { return kind == 3 ? kExchangeTemplates : kind; }

void setSpeedDialFormFor(const std::string& path, int kind, bool csv) {
  if (kind == 1) sysTanfMode = (csv || hasExtension(path, ".zud8")) ? 1 : 0;
}

std::string_view elementFor(int kind) {
  if (kind == 1) return sysTanfMode ? kSysTanfElement : kSysTanElement;
  return kind == 2 ? kNaisenElement : kTemplateElement;
}

TaggedRows rowsFor(int kind) {
  if (kind == 1) return TaggedRows::SpeedDial;
  return kind == 2 ? TaggedRows::Extensions : TaggedRows::Templates;
}

PhonebookFileResult resultOfRead(int result, const ExchangeReadSummary& summary) {
  if (result == kExchangeCannotOpen) return PhonebookFileResult::NoFile;
  tablesEdited = 1;
  if (result != kExchangeDone || exchangeBodyRefused(summary)) return PhonebookFileResult::DataError;
  return PhonebookFileResult::Done;
}

PhonebookFileResult readIntoTables(int kind) {
  ExchangeReadSummary summary;
  const int result = readExchangeFile(exchangeKindOf(kind), &summary);
  return resultOfRead(result, summary);
}

// The head of the file gives the user-information text; the rows of the kind's element follow
// it as exchange-file text, which is read into the tables as the exchange file would be.
PhonebookFileResult loadTaggedFile(const std::string& path, int kind) {
  TextFileReader reader;
  if (!reader.open(path)) return PhonebookFileResult::NoFile;
  std::string text;
  const TaggedHeaderResult head = collectTaggedHeader(
      reader, {"<systan>", "<naisen>", "<systanf>", "<m046>"}, text);
  if (head != TaggedHeaderResult::Found) return PhonebookFileResult::DataError;
  takeUserInfoFields(text);
  if (!convertTaggedRows(path, elementFor(kind), rowsFor(kind), text)) return PhonebookFileResult::NoFile;
  ExchangeReadSummary summary;
  const int result = readExchangeText(exchangeKindOf(kind), text, &summary);
  return resultOfRead(result, summary);
}

// The exchange-file text of the kind becomes the tagged file, which replaces the target.
PhonebookFileResult saveTaggedFile(const std::string& path, int kind) {
  std::string exchange;
  if (!appendExchangeFileText(exchangeKindOf(kind), exchange)) return PhonebookFileResult::SaveError;
  std::string tagged;
  appendTaggedFile(rowsFor(kind), exchange, tagged);
  return replaceFileAtomically(path, tagged) ? PhonebookFileResult::Done : PhonebookFileResult::SaveError;
}

}  // namespace

bool isCsvFileName(const std::string& path) { return hasExtension(path, ".csv"); }

std::uint64_t phonebookSaveSpaceNeeded(int kind) {
  if (kind == 1) return 12000;
  if (kind == 2) return (memoryMode & 3) == 2 ? 2000 : 4000;
  return 20000000;
}

PhonebookFileResult loadPhonebookData(const std::string& path, int kind) {
  if (kind < 1 || kind > 3) return PhonebookFileResult::DataError;
  const bool csv = isCsvFileName(path);
  clearUserInfoFields();
  setSpeedDialFormFor(path, kind, csv);
  PhonebookFileResult result;
  if (csv) {
    pointExchangePathAt(path);
    result = readIntoTables(kind);
  } else {
    result = loadTaggedFile(path, kind);
  }
  pointExchangePathAt(path);
  return result;
}

PhonebookFileResult savePhonebookData(const std::string& path, int kind) {
  if (kind < 1 || kind > 3) return PhonebookFileResult::SaveError;
  const bool csv = isCsvFileName(path);
  setSpeedDialFormFor(path, kind, csv);
  PhonebookFileResult result = PhonebookFileResult::Done;
  if (csv) {
    pointExchangePathAt(path);
    if (writeExchangeFile(exchangeKindOf(kind)) != kExchangeDone) result = PhonebookFileResult::SaveError;
  } else {
    result = saveTaggedFile(path, kind);
  }
  pointExchangePathAt(path);
  return result;
}
