/* The interpreter library of the stand-in environment: how an extension hands values back to
   the session that loaded it, and the signature of an extension's entry point. */
#ifndef ZORVAN_ZRVINTERP_H
#define ZORVAN_ZRVINTERP_H

#ifdef __cplusplus
extern "C" {
#endif

/* Every extension module exports this function under the name zrv_entry. */
typedef double zrv_entry_function(int count, const double* values);
#define ZRV_ENTRY_NAME "zrv_entry"

/* Shows a named value in the session, one "name = value" line. */
void zrvinterp_show(const char* name, double value);

/* How many values extensions have shown so far in this session. */
int zrvinterp_shown_count(void);

#ifdef __cplusplus
}
#endif

#endif
