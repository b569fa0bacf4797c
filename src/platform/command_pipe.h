// A read pipe on a command run by the platform's command interpreter, and the unlocked
// character read used on it, under each platform's names.
#pragma once

#include <cstdio>

#ifdef _WIN32

inline std::FILE* open_command_pipe(const char* command) { return _popen(command, "r"); }
inline int close_command_pipe(std::FILE* pipe) { return _pclose(pipe); }
inline int next_stream_char(std::FILE* stream) { return _fgetc_nolock(stream); }

#else

#include <stdio.h>

inline std::FILE* open_command_pipe(const char* command) { return popen(command, "r"); }
inline int close_command_pipe(std::FILE* pipe) { return pclose(pipe); }
inline int next_stream_char(std::FILE* stream) { return getc_unlocked(stream); }

#endif
