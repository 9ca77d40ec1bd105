// Stands in for a library that a map folder holds under the name of one
// the program or its archive library loads: once loaded, it leaves the
// file "impostor-loaded" in the current folder. It is plain C so that it
// needs no C++ runtime, being one of the libraries it imitates.
#include <fcntl.h>
#include <unistd.h>

__attribute__((constructor)) static void LeaveMarker(void) {
  int fd = open("impostor-loaded", O_WRONLY | O_CREAT, 0644);
  if (fd >= 0) close(fd);
}
