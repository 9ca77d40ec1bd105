// The info file of a run: opened once, appended to line by line, closed at
// the end. Writes are silently skipped while no file is open, so producers
// never ask whether the info output is on. Lines are collected and written
// a map at a time, so the file is written in few large pieces.
#pragma once

#include <string>
#include <string_view>

#include "app/reporter.h"
#include "app/run_errors.h"
#include "app/run_options.h"
#include "parsers/line_writer.h"
#include "platform/file.h"

namespace korvanel {

class InfoWriter : public LineWriter {
 public:
  InfoWriter(Reporter& reporter, RunErrors& errors) : reporter_(reporter), errors_(errors) {}

  // Opens, creates, appends to or starts anew the file at `path`; reports
  // its own failures. In the dialog an existing file prompts a question.
  bool OpenInfoFile(const std::string& path, const RunOptions& options);
  void WriteInfoText(std::string_view text) override;
  // Writes the lines collected so far.
  void Flush();
  void Close();
  bool IsOpen() const { return file_.IsOpen(); }

 private:
  enum class Existing { kAppend, kTruncate };
  bool OpenExisting(const std::string& path, Existing how);

  Reporter& reporter_;
  RunErrors& errors_;
  File file_;
  std::string pending_;
};

}  // namespace korvanel
