// Latches of one run. The first error of a kind sets its latch; extraction,
// read-back and info-file write errors are then not reported again.
#pragma once

namespace korvanel {

struct RunErrors {
  bool minimapFailed = false;
  bool extractFailed = false;
  bool readFailed = false;
  bool writeFailed = false;

  bool Any() const { return minimapFailed || extractFailed || readFailed || writeFailed; }
  // writeFailed belongs to the info file and is cleared when it is opened.
  void ClearForRun() { minimapFailed = extractFailed = readFailed = false; }
};

}  // namespace korvanel
