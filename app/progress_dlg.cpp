#include "app/progress_dlg.h"

#include <algorithm>
#include <string>

#include "link/progress_messages.h"
#include "ui/message_pump.h"

int progressPercentOfBytes(std::int32_t start, std::int32_t end, std::int32_t total,
                           std::int32_t done) {
  std::int64_t p;
  if (total == 0) {
    p = end;
  } else if (done < 0) {
    p = start;
  } else {
    const double share = static_cast<double>(done) / static_cast<double>(total);
    const double value = static_cast<double>(start) + (static_cast<double>(end) - start) * share;
    // Clamped before the conversion, so that no quotient can overflow it.
    p = static_cast<std::int64_t>(std::clamp(value, -1.0e12, 1.0e12));
    if (p >= end) p = end;
  }
  return static_cast<int>(std::clamp<std::int64_t>(p, 0, 100));
}

CProgressDlg::CProgressDlg(const DialogResource& resource, int pumpCount)
    : CDialog(resource), m_pumpCount(pumpCount) {}

bool CProgressDlg::OnInitDialog() {
  SetFocusTo(kProgressBar);
  SetProgressRange(kProgressBar, 0, 100);
  SetProgressPos(kProgressBar, 0);
  SetDlgItemText(kProgressPercentText, "0");
  return false;
}

void CProgressDlg::SetPercent(int percent) {
  percent = std::clamp(percent, 0, 100);
  SetProgressPos(kProgressBar, percent);
  SetDlgItemText(kProgressPercentText, std::to_string(percent));
  // Pending messages are let through so that the display keeps up with a long run; a message
  // handled here that sets the percent again does not pump again, which keeps the nesting flat.
  if (m_pumping) return;
  m_pumping = true;
  pumpMessages(m_pumpCount);
  m_pumping = false;
}

void CProgressDlg::OnMessage(unsigned msg, std::uintptr_t wParam) {
  const auto value = static_cast<std::int32_t>(static_cast<std::uint32_t>(wParam));
  switch (msg) {
    case kSetPercentMessage: SetPercent(value); break;
    case kRangeStartMessage: m_rangeStart = value; break;
    case kRangeEndMessage: m_rangeEnd = value; break;
    case kRangeTotalMessage: m_rangeTotal = value; break;
    case kBytesDoneMessage:
      SetPercent(progressPercentOfBytes(m_rangeStart, m_rangeEnd, m_rangeTotal, value));
      break;
    default: break;
  }
  CDialog::OnMessage(msg, wParam);
}

bool CProgressDlg::PreTranslateKeyDown(int key) { return key == VK_RETURN || key == VK_ESCAPE; }
