// Facts about the running process that the rest of the program needs.
#pragma once

#include <functional>
#include <string>

namespace korvanel {

// The folder of the running program, ending in a separator; empty when
// unknown.
std::string ProgramDirectory();

// Opens the null device on any of the standard descriptors that is
// closed. Some libraries close descriptor 0 after a failed open; without
// this, a file of ours could be holding that number.
void ReserveStandardDescriptors();

// How many processors this process may run on (its affinity), at least 1.
unsigned UsableProcessors();

// For threads that must be still while the process makes a child: the
// child gets a copy of every lock as it was, and one that another thread
// held then, the allocator's above all, stays held there for good. While
// this lives, `hold` is called in the thread about to fork, before it
// does, and `release` after, in the parent.
class HeldAroundForks {
 public:
  HeldAroundForks(std::function<void()> hold, std::function<void()> release);
  ~HeldAroundForks();
  HeldAroundForks(const HeldAroundForks&) = delete;
  HeldAroundForks& operator=(const HeldAroundForks&) = delete;

 private:
  static void Prepare();
  static void Parent();
  static void Child();

  std::function<void()> hold_, release_;
};

}  // namespace korvanel
