// A read pipe on a command run by the platform's command interpreter, and the unlocked
// character read used on it, under each platform's names; and what such a pipe gives of the
// same bytes read whole.
#pragma once

#include <cstdio>
#include <string>

#ifdef _WIN32

inline std::FILE* open_command_pipe(const char* command) { return _popen(command, "r"); }
inline int close_command_pipe(std::FILE* pipe) { return _pclose(pipe); }
inline int next_stream_char(std::FILE* stream) { return _fgetc_nolock(stream); }

// The pipe is read in text mode: each carriage return before a line feed is dropped.
inline std::string as_read_from_pipe(const std::string& bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (std::string::size_type i = 0; i < bytes.size(); ++i) {
    if (bytes[i] != '\r' || i + 1 >= bytes.size() || bytes[i + 1] != '\n')
      text.push_back(bytes[i]);
  }
  return text;
}

#else

#include <stdio.h>

inline std::FILE* open_command_pipe(const char* command) { return popen(command, "r"); }
inline int close_command_pipe(std::FILE* pipe) { return pclose(pipe); }
inline int next_stream_char(std::FILE* stream) { return getc_unlocked(stream); }
inline const std::string& as_read_from_pipe(const std::string& bytes) { return bytes; }

#endif
