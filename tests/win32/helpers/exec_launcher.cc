// Replaces itself through the exec wrappers: "exec_launcher v PROGRAM ARG..." calls
// zorvan_execv_wrapper, "exec_launcher vp PROGRAM ARG..." zorvan_execvp_wrapper, each with the
// vector PROGRAM ARG... . Returning from the wrapper is a failure, reported with status 99.
#include <cstdio>
#include <cstring>

#include "platform/wrappers.h"

int main(int argc, char** argv) {
  if (argc < 3) return 98;
  char* const* vector = argv + 2;
  const int result = std::strcmp(argv[1], "vp") == 0 ? zorvan_execvp_wrapper(argv[2], vector)
                                                      : zorvan_execv_wrapper(argv[2], vector);
  std::fprintf(stderr, "exec returned %d\n", result);
  return 99;
}
