// The timing of the link: every fixed wait (pacing) and every time-out of a transfer run and of
// the socket layer comes from the one process-wide LinkTiming object.
//
// The defaults are the values the main unit was built against. Tests switch pacing off
// (pacingScale = 0) and shorten the time-outs; a benchmark may scale the pacing. Set the values
// before a run starts; they are read without a lock while the run is in progress.
#pragma once

#include <chrono>

struct LinkTiming {
  using ms = std::chrono::milliseconds;

  // Multiplies every pacing sleep below: 1 = as the main unit expects, 0 = no pacing.
  double pacingScale = 1.0;

  // Pacing sleeps.
  ms serveBeforeHead{3000};         // a served file: before its head
  ms serveBeforeHeadUnpaced{1000};  //   ... when the run is not paced
  ms serveAfterHeadStep{250};       // a served file: 30 steps between head and body
  ms serveAfterHeadStepUnpaced{100};
  ms serveAfterBodyStep{200};  // a served file: 30 steps after the body
  ms serveAfterBodyStepUnpaced{100};
  ms uploadEnd{5000};             // the end of an upload
  ms fetchBetweenRequests{3000};  // a fetched file: between the two requests
  ms fetchBeforeBodyStep{1000};   // a fetched file: 10 steps before the body
  ms downloadEndStep{200};        // the end of a download: 10 steps
  ms blockReadStart{1000};        // before a block read (RecvBlock, RecvExact)

  // Time-outs.
  ms connect{20000};           // opening a connection
  ms answerStatusLine{3000};   // per byte: the status line of the connection answer
  ms answerHeaderLine{10000};  // per byte: its header lines
  ms answerBody{3000};         // its body by length: all of it; by lines: per byte
  ms acceptData{20000};        // the main unit connecting back
  ms requestLine{600000};      // per byte: a request line (and its header lines)
  ms fetchStatusLine{540000};  // per byte: the answer to a download request (and its head)
  ms blockRead{200000};        // per piece: a downloaded body
};

// The process-wide timing object.
LinkTiming& linkTiming();
// Puts linkTiming() back to the defaults.
void resetLinkTiming();
// Sleeps `wait` scaled by linkTiming().pacingScale; returns at once when the result is zero.
void pace(std::chrono::milliseconds wait);
