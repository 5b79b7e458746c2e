#include "data/system_data.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

#include "data/call_history.h"
#include "data/phonebook_tables.h"
#include "data/restriction_table.h"

namespace {

// Below this many whole pages a plain memset is as cheap as the system call.
constexpr std::uintptr_t kMinimumPages = 4;

std::uintptr_t pageSize() {
  static const std::uintptr_t size = [] {
    const long n = sysconf(_SC_PAGESIZE);
    return n > 0 ? static_cast<std::uintptr_t>(n) : std::uintptr_t{4096};
  }();
  return size;
}

}  // namespace

void zeroTableStorage(void* table, std::size_t size) {
  const std::uintptr_t page = pageSize();
  const auto begin = reinterpret_cast<std::uintptr_t>(table);
  const std::uintptr_t end = begin + size;
  const std::uintptr_t firstWhole = (begin + page - 1) & ~(page - 1);
  const std::uintptr_t endWhole = end & ~(page - 1);
  if (endWhole <= firstWhole || endWhole - firstWhole < kMinimumPages * page) {
    std::memset(table, 0, size);
    return;
  }
  // A private page that is given back reads as zeros again: an anonymous page is filled with
  // zeros, a page of the program's data is read back from the file, where a table without an
  // initialiser is zero. Only pages wholly inside the table are given back.
  std::memset(table, 0, firstWhole - begin);
  std::memset(reinterpret_cast<void*>(endWhole), 0, end - endWhole);
  void* whole = reinterpret_cast<void*>(firstWhole);
  if (madvise(whole, endWhole - firstWhole, MADV_DONTNEED) != 0) {
    std::memset(whole, 0, endWhole - firstWhole);
  }
}

void fillTableStorage(void* table, std::size_t size, unsigned char byte) {
  const std::uintptr_t page = pageSize();
  const auto begin = reinterpret_cast<std::uintptr_t>(table);
  const std::uintptr_t firstPage = begin & ~(page - 1);
  const std::uintptr_t endPage = (begin + size + page - 1) & ~(page - 1);
#ifdef MADV_POPULATE_WRITE
  // Only a speed-up: older systems refuse the request and the memset takes the faults instead.
  if (endPage - firstPage >= kMinimumPages * page) {
    madvise(reinterpret_cast<void*>(firstPage), endPage - firstPage, MADV_POPULATE_WRITE);
  }
#endif
  std::memset(table, byte, size);
}

void initSystemData() {
  resetPhonebookTables();
  initPhonebookDefaults();
  resetRestrictionTables();
  resetCallHistories();
}
