// A stand-in for the archive library with faults on purpose: every map
// opens, every embedded file claims 100 bytes, and a read delivers 10. A
// map whose path holds "crash" kills the process, one holding "hang" never
// returns, and one holding "poison" opens but leaves the process to die on
// the next map, as damaged memory would. Built without SFileCloseFile when FAKE_STORM_INCOMPLETE is
// defined.
#include <cstdlib>
#include <cstring>
#include <unistd.h>

static bool poisoned = false;

extern "C" {

bool SFileOpenArchive(const char* path, unsigned, unsigned, void** handle) {
  if (poisoned || std::strstr(path, "crash")) std::abort();
  poisoned = std::strstr(path, "poison") != nullptr;
  while (std::strstr(path, "hang")) ::pause();
  *handle = reinterpret_cast<void*>(1);
  return true;
}
bool SFileCloseArchive(void*) { return true; }
bool SFileOpenFileEx(void*, const char* name, unsigned, void** handle) {
  if (std::strcmp(name, "war3map.j") != 0) return false;
  *handle = reinterpret_cast<void*>(2);
  return true;
}
unsigned SFileGetFileSize(void*, unsigned* high) {
  if (high) *high = 0;
  return 100;
}
bool SFileReadFile(void*, void* buffer, unsigned, unsigned* read, void*) {
  std::memset(buffer, 'x', 10);
  *read = 10;
  return false;
}
#ifndef FAKE_STORM_INCOMPLETE
bool SFileCloseFile(void*) { return true; }
#endif
}
