#include "app/editor_menu_dlg.h"

#include "ui/message_box.h"

CEditorMenuDlg::CEditorMenuDlg(const DialogResource& resource, EditorMenu menu, CWnd* parent)
    : CDialog(resource, parent), m_editor(menu) {}

bool CEditorMenuDlg::OnInitDialog() {
  EnableDlgItem(kMenuBrowserButton, true);
  SetFocusTo(kMenuBrowserButton);
  return false;
}

void CEditorMenuDlg::OnCommand(int id) {
  switch (id) {
    case kMenuLoadButton: {
      PumpedTableLock tables;
      OnLoad();
      return;
    }
    case kMenuSaveButton: {
      PumpedTableLock tables;
      OnSave();
      return;
    }
    case kMenuBrowserButton: return OnEditInBrowser();
    default: return;
  }
}

void CEditorMenuDlg::OnEditInBrowser() {
  if (!m_editor.OnEditInBrowser(this, false)) return;
  const std::string url = m_editor.Url();
  if (openDefaultBrowser(url)) return;
  MessageBox(this, std::string(menu_text::kNoBrowser) + url, GetDlgItemText(kMenuBrowserButton),
             MB_OK | MB_ICONWARNING);
}

void CEditorMenuDlg::OnCancel() {
  m_editor.Close();
  EndDialog(IDCANCEL);
}
