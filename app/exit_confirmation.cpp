#include "app/exit_confirmation.h"

#include "ui/message_box.h"

bool confirmExit(HWND owner) {
  const int answer = MessageBox(owner, "　短縮設定/着信履歴プログラム（Zu）を終了しますか？", "終了確認",
                                MB_YESNO | MB_ICONQUESTION);
  return answer != IDNO;
}
