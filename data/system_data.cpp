#include "data/system_data.h"

#include "data/call_history.h"
#include "data/phonebook_tables.h"
#include "data/restriction_table.h"

void initSystemData() {
  resetPhonebookTables();
  initPhonebookDefaults();
  resetRestrictionTables();
  resetCallHistories();
}
