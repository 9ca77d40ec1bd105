// What went wrong in a run. The first error of a kind sets its latch;
// extraction, read-back and info-file write errors are then not reported
// again.
#pragma once

namespace korvanel {

struct RunSummary {
  bool minimapFailed = false;
  bool extractFailed = false;
  bool readFailed = false;   // an extracted file could not be read back
  bool parseFailed = false;  // a file its parser refused as damaged; silences nothing
  bool writeFailed = false;  // the info file's
  bool catalogueFailed = false;
  bool picturesFailed = false;  // a picture of --pictures that could not be made or written
  // Maps that could not be opened and folders that could not be read: no
  // latch exists for them, but the run did not analyse everything.
  int unread = 0;
  // What the run got through, for the dialog's summary.
  int mapsProcessed = 0;
  int picturesWritten = 0;
  // Catalogued maps whose file is another's copy, and those taken from the
  // catalogue updated without being read.
  int duplicates = 0;
  int kept = 0;
  // The user stopped the run: the maps after the last one processed were
  // left out.
  bool stopped = false;

  bool Failed() const { return minimapFailed || extractFailed || readFailed || parseFailed || writeFailed || catalogueFailed || picturesFailed || unread > 0; }
};

}  // namespace korvanel
