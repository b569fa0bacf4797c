/* A module that compiles only under the C standard its definitions ask for. */
#include <zorvan/zrvinterp.h>

#if defined(STANDARD_EXACTLY) && __STDC_VERSION__ != STANDARD_EXACTLY
#error "not compiled under the expected C standard"
#endif
#if defined(STANDARD_AT_LEAST) && __STDC_VERSION__ < STANDARD_AT_LEAST
#error "compiled under an older C standard than the target asks for"
#endif
#if STRICT != defined(__STRICT_ANSI__)
#error "GNU extensions on or off against the target's wish"
#endif

double zrv_entry(int count, const double* values) {
  (void)count;
  (void)values;
  zrvinterp_show("standard", (double)__STDC_VERSION__);
  return STRICT;
}
