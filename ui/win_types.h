// The handful of window-system names the dialogs, workflows and the link share: window handles,
// dialog results, message-box styles, posted-message numbers, file-dialog flags, key codes and
// show commands. The values are the ones stored files and the dialog code were written against.
#pragma once

class CWnd;
// A window handle is the window object itself. It is only ever compared, passed as an owner, or
// given to postMessage(), which checks that the window still exists before delivering.
using HWND = CWnd*;

// Dialog and message-box results.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Message-box buttons (low four bits) and icons (next four bits), and window-level styles.
constexpr unsigned MB_OK = 0x0;
constexpr unsigned MB_OKCANCEL = 0x1;
constexpr unsigned MB_YESNO = 0x4;
constexpr unsigned MB_TYPEMASK = 0xF;
constexpr unsigned MB_ICONERROR = 0x10;
constexpr unsigned MB_ICONQUESTION = 0x20;
constexpr unsigned MB_ICONEXCLAMATION = 0x30;
constexpr unsigned MB_ICONWARNING = 0x30;
constexpr unsigned MB_ICONINFORMATION = 0x40;
constexpr unsigned MB_ICONMASK = 0xF0;
constexpr unsigned MB_SYSTEMMODAL = 0x1000;
constexpr unsigned MB_SETFOREGROUND = 0x10000;
constexpr unsigned MB_TOPMOST = 0x40000;

// First message number free for the application's own posted messages.
constexpr unsigned WM_USER = 0x400;

// File-dialog flags.
constexpr unsigned OFN_OVERWRITEPROMPT = 0x2;
constexpr unsigned OFN_HIDEREADONLY = 0x4;

// The control id shared by every static text that the code never addresses.
constexpr int IDC_STATIC = -1;

// Key codes a dialog sees in PreTranslateKeyDown.
constexpr int VK_RETURN = 0x0D;
constexpr int VK_ESCAPE = 0x1B;

// ShowWindow commands.
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOWMINIMIZED = 2;
constexpr int SW_SHOW = 5;
constexpr int SW_MINIMIZE = 6;
constexpr int SW_RESTORE = 9;
