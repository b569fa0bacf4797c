// Writes each of its arguments after the program name on a line of its own, in brackets, so a
// test sees how the command line it was started with was split.
#include <cstdio>

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) std::printf("[%s]\n", argv[i]);
  return 0;
}
