#include "data/template_messages.h"

#include <cstring>

#include "base/fixed_field.h"
#include "data/table_text.h"

TemplateMessage templateMessages[kTemplateMessages];

int setTemplateMessage(int item, std::string_view text, int mode) {
  if (item < 0 || item >= kTemplateMessages) return 0;
  if (mode != 1 && item % 50 == 1) {
    // A page of 50 from the editor replaces the whole page; the last page ends at item 999.
    const int last = item + 49 < kTemplateMessages ? item + 49 : kTemplateMessages - 1;
    std::memset(&templateMessages[item], 0, sizeof(TemplateMessage) * (last - item + 1));
  } else {
    std::memset(&templateMessages[item], 0, sizeof(TemplateMessage));
  }
  char buffer[21] = {};
  if (!text.empty()) std::memcpy(buffer, text.data(), text.size() < 20 ? text.size() : 20);
  blankForbiddenCharacters(buffer, 20);
  storeTextFieldWithoutCommas(templateMessages[item].text, buffer, 20);
  return 1;
}

int getTemplateMessage(int item, char out[21]) {
  std::memset(out, 0, 21);
  if (item < 0 || item >= kTemplateMessages) return 0;
  copyFixedFieldFrom(out, templateMessages[item].text, 20);
  for (int i = 0; i < 20; ++i) {
    if (out[i] == '"') out[i] = ' ';
  }
  return 1;
}

void clearTemplateMessages() { std::memset(templateMessages, 0, sizeof templateMessages); }
