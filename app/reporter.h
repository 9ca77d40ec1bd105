// How a run tells the user about problems: console text in the
// command-line mode, message boxes in the dialog.
#pragma once

#include <string_view>

namespace korvanel {

enum class Icon { kStop, kExclamation, kInformation, kQuestion };
enum class Answer { kYes, kNo, kCancel };

class Reporter {
 public:
  virtual ~Reporter() = default;
  virtual void Report(std::string_view text, Icon icon) = 0;
  // A Yes/No/Cancel question; only the dialog asks one.
  virtual Answer Ask(std::string_view text) = 0;
  // The walk names each map here (its file name alone) before processing
  // it; each mode words its own status line.
  virtual void ShowMap(std::string_view /*name*/) {}
  // A line for the Linux user beyond the messages (which path, which
  // embedded file, why); the command line puts it on standard error, with
  // the line end added. The dialog shows none.
  virtual void Diagnose(std::string_view /*line*/) {}
  // Why a run cannot start as asked (a catalogue or pictures folder it
  // refuses): on the command line a line on standard error like Diagnose;
  // the dialog, whose user sees no standard error, shows it in a box.
  virtual void Explain(std::string_view line) { Diagnose(line); }
  // Asked before each map of a walk: false stops the run there, the maps
  // not yet processed left out. Only the dialog's user can stop a run.
  virtual bool GoOn() { return true; }
};

}  // namespace korvanel
