#include "data/phonebook_snapshot.h"

#include <cstring>

#include "data/extension_directory.h"
#include "data/phonebook_baseline.h"
#include "data/process_state.h"
#include "data/speed_dial.h"
#include "data/system_data.h"
#include "data/template_messages.h"
#include "data/user_info.h"

PhonebookImage phonebookImage;
PhonebookImage baselineImage;
PhonebookImage referenceImage;
UserInfoHeader userInfoHeader;

// ---- the image as a whole -----------------------------------------------------------------

void snapshotPhonebook() {
  std::memcpy(&baselineImage, &phonebookImage, sizeof(PhonebookImage));
  std::memcpy(&referenceImage, &phonebookImage, sizeof(PhonebookImage));
}

void restorePhonebook() { std::memcpy(&phonebookImage, &baselineImage, sizeof(PhonebookImage)); }

void resetPhonebookTables() {
  // The three images are most of the memory the tables have; clearing them by giving their
  // pages back keeps an untouched image untouched. The live speed-dial table is cleared in
  // place: every load fills it, and a setter reads an entry before writing it, which would take
  // two faults on a page given back.
  fillTableStorage(phonebookImage.speedDial, sizeof phonebookImage.speedDial, 0);
  zeroTableStorage(phonebookImage.directories, sizeof phonebookImage.directories);
  zeroTableStorage(&baselineImage, sizeof baselineImage);
  zeroTableStorage(&referenceImage, sizeof referenceImage);
  clearTemplateMessages();
  resetPrivateSpeedDialLists();
  fillTableStorage(&workLines, sizeof workLines, ' ');
  clearUserInfoFields();
  phonebookBaseline().forgetAll();
}

void initPhonebookDefaults() {
  memoryMode = 1;
  clearUserInfoFields();
  initExtensionDirectories();
}
