#include "data/phonebook_file_io.h"

#include <cstdio>
#include <filesystem>

#include "base/atomic_file.h"
#include "base/platform.h"
#include "base/text_file.h"
#include "data/exchange_files.h"
#include "data/exchange_format.h"
#include "data/process_state.h"
#include "data/tagged_files.h"
#include "data/user_info.h"

namespace {

// The strings exchangeDirectory and exchangeFileName point at.
std::string g_exchangeDirectory;
std::string g_exchangeFileName;

void pointExchangeAt(const std::string& path) {
  g_exchangeDirectory = directoryOf(path);
  g_exchangeFileName = fileNameOf(path);
  exchangeDirectory = g_exchangeDirectory.c_str();
  exchangeFileName = g_exchangeFileName.c_str();
}

std::string lowerCase(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

bool hasExtension(const std::string& path, std::string_view extension) {
  return lowerCase(extensionOf(path)) == extension;
}

int exchangeKindOf(int kind) { return kind == 3 ? kExchangeTemplates : kind; }

// A file created for the duration of one operation, removed when it goes.
class ScratchFile {
 public:
  explicit ScratchFile(std::string path) : m_path(std::move(path)) {}
  ~ScratchFile() {
    if (!m_path.empty()) std::remove(m_path.c_str());
  }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  const std::string& path() const { return m_path; }
  bool valid() const { return !m_path.empty(); }

 private:
  std::string m_path;
};

// A fresh work file beside `path`, or in the system's temporary folder when the file's own
// folder cannot take one (a read-only medium).
std::string workFileFor(const std::string& path) {
  std::string work = createUniqueTempFile(directoryOf(path));
  if (work.empty()) {
    std::error_code ec;
    const std::filesystem::path temp = std::filesystem::temp_directory_path(ec);
    if (!ec) work = createUniqueTempFile(temp.string());
  }
  return work;
}

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

PhonebookFileResult readIntoTables(int kind) {
  ExchangeReadSummary summary;
  const int result = readExchangeFile(exchangeKindOf(kind), &summary);
  if (result == kExchangeCannotOpen) return PhonebookFileResult::NoFile;
  tablesEdited = 1;
  if (result != kExchangeDone || exchangeBodyRefused(summary)) return PhonebookFileResult::DataError;
  return PhonebookFileResult::Done;
}

PhonebookFileResult loadTaggedFile(const std::string& path, int kind) {
  TextFileReader reader;
  if (!reader.open(path)) return PhonebookFileResult::NoFile;
  ScratchFile work(workFileFor(path));
  if (!work.valid()) return PhonebookFileResult::NoFile;

  std::string userText;
  const TaggedHeaderResult head = collectTaggedHeader(
      reader, {"<systan>", "<naisen>", "<systanf>", "<m046>"}, userText);
  if (head != TaggedHeaderResult::Found) return PhonebookFileResult::DataError;
  takeUserInfoFields(userText);

  std::FILE* out = std::fopen(work.path().c_str(), "wb");
  if (!out) return PhonebookFileResult::NoFile;
  bool written = std::fwrite(userText.data(), 1, userText.size(), out) == userText.size();
  written = convertTaggedRows(path, elementFor(kind), rowsFor(kind), out) && written;
  written = std::fclose(out) == 0 && written;
  if (!written) return PhonebookFileResult::NoFile;

  pointExchangeAt(work.path());
  return readIntoTables(kind);
}

PhonebookFileResult saveTaggedFile(const std::string& path, int kind) {
  ScratchFile exchange(createUniqueTempFile(directoryOf(path)));
  if (!exchange.valid()) return PhonebookFileResult::SaveError;
  pointExchangeAt(exchange.path());
  if (writeExchangeFile(exchangeKindOf(kind)) != kExchangeDone) return PhonebookFileResult::SaveError;

  std::FILE* in = std::fopen(exchange.path().c_str(), "rb");
  if (!in) return PhonebookFileResult::SaveError;
  AtomicFileWriter target(path);
  int written = kExchangeCannotOpen;
  if (target.open()) {
    if (kind == 1) {
      written = writeTaggedSpeedDial(in, target.file());
    } else if (kind == 2) {
      written = writeTaggedExtensions(in, target.file());
    } else {
      written = writeTaggedTemplates(in, target.file());
    }
  }
  std::fclose(in);
  if (written != kExchangeDone || !target.commit()) return PhonebookFileResult::SaveError;
  return PhonebookFileResult::Done;
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
    pointExchangeAt(path);
    result = readIntoTables(kind);
  } else {
    result = loadTaggedFile(path, kind);
  }
  pointExchangeAt(path);
  return result;
}

PhonebookFileResult savePhonebookData(const std::string& path, int kind) {
  if (kind < 1 || kind > 3) return PhonebookFileResult::SaveError;
  const bool csv = isCsvFileName(path);
  setSpeedDialFormFor(path, kind, csv);
  PhonebookFileResult result = PhonebookFileResult::Done;
  if (csv) {
    pointExchangeAt(path);
    if (writeExchangeFile(exchangeKindOf(kind)) != kExchangeDone) result = PhonebookFileResult::SaveError;
  } else {
    result = saveTaggedFile(path, kind);
  }
  pointExchangeAt(path);
  return result;
}
