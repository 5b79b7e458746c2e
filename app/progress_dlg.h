// CProgressDlg: the part the two progress windows share ("データ通信実行中" and "ファイル作成中").
//
// A progress window is modeless: its owner creates it, shows it and destroys it on every path.
// While it exists it is registered under its title, so code that does not own it (the link, the
// socket layer) reaches it with postToWindow(title, ...); the messages are handled on the thread
// that created the window when that thread pumps. The owner may call SetPercent() directly.
//
// Messages (link/progress_messages.h), wParam read as a signed 32-bit value:
//   kSetPercentMessage   shows the percent, clamped to 0-100
//   kRangeStartMessage   percent at which the current block begins
//   kRangeEndMessage     percent at which the current block ends
//   kRangeTotalMessage   bytes that make up the current block
//   kBytesDoneMessage    bytes of the block done so far: shows the matching percent of the range
// Other message numbers are ignored. The range values start at 0 when the object is built and
// keep their values between messages (and between windows of the same object).
//
// Enter and Escape never close a progress window, and it has no Close command.
#pragma once

#include <cstdint>

#include "ui/dialog.h"

// Control ids the progress windows share.
constexpr int kProgressBar = 2164;
constexpr int kProgressPercentText = 1009;
constexpr int kProgressPercentSign = 2557;

// The percent a bytes-done count stands for within the range [start, end] of a block of `total`
// bytes: end when total is 0, start when done is negative, else start + (end - start) *
// done / total truncated toward zero and no higher than end; always within 0-100.
int progressPercentOfBytes(std::int32_t start, std::int32_t end, std::int32_t total,
                           std::int32_t done);

class CProgressDlg : public CDialog {
 public:
  // `pumpCount`: how many pending window messages each percent change lets through.
  CProgressDlg(const DialogResource& resource, int pumpCount);

  // Shows `percent` (clamped to 0-100) on the bar and as a number, then lets pending window
  // messages of this thread through. Nested calls (a pumped message that sets the percent again)
  // update the display without pumping once more.
  void SetPercent(int percent);

  void OnMessage(unsigned msg, std::uintptr_t wParam) override;

 protected:
  bool OnInitDialog() override;
  bool PreTranslateKeyDown(int key) override;

 private:
  const int m_pumpCount;
  std::int32_t m_rangeStart = 0;
  std::int32_t m_rangeEnd = 0;
  std::int32_t m_rangeTotal = 0;
  bool m_pumping = false;
};
