// The template messages (additional-information fixed texts), items 0-999.
#pragma once

#include <string_view>

#include "data/phonebook_records.h"

// Stores item 0-999 (returns 0 above, nothing changes). text: up to its first NUL, at most 20
// bytes are stored. mode 1 replaces this item only; any other mode, for an item 1, 51, ... 951,
// first clears the page of 50 items it starts (as far as item 999).
int setTemplateMessage(int item, std::string_view text, int mode);
// The text of item 0-999 into out[21], every double quote a blank; 0 (and "") for other items.
int getTemplateMessage(int item, char out[21]);
// All 1000 items empty.
void clearTemplateMessages();
