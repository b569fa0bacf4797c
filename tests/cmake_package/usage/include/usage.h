/* The project's own libraries, found through target_include_directories. */
#ifndef USAGE_H
#define USAGE_H
#ifdef __cplusplus
extern "C" {
#endif
double usage_twice(double value);  /* helper_static.c */
double usage_plus_one(double value);  /* helper_shared.c */
#ifdef __cplusplus
}
#endif
#endif
