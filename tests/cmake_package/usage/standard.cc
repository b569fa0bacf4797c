// A module that compiles only under the C++ standard its definitions ask for.
#include <zorvan/zrvinterp.h>

#if defined(STANDARD_EXACTLY) && __cplusplus != STANDARD_EXACTLY
#error "not compiled under the expected C++ standard"
#endif
#if defined(STANDARD_AT_LEAST) && __cplusplus < STANDARD_AT_LEAST
#error "compiled under an older C++ standard than the target asks for"
#endif
#if STRICT != defined(__STRICT_ANSI__)
#error "GNU extensions on or off against the target's wish"
#endif

extern "C" double zrv_entry(int, const double*) {
  zrvinterp_show("standard", static_cast<double>(__cplusplus));
  return STRICT;
}
