/* The core library of the stand-in environment: a few numeric helpers that extensions call. */
#ifndef ZORVAN_ZORVAN_H
#define ZORVAN_ZORVAN_H

#ifdef __cplusplus
extern "C" {
#endif

/* The version of the environment, as "MAJOR.MINOR.PATCH". */
const char* zorvan_version(void);

/* The arithmetic mean of count values; 0 when count is not positive. */
double zorvan_mean(const double* values, int count);

#ifdef __cplusplus
}
#endif

#endif
