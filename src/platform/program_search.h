// Where the command interpreter finds a program word: the incremental build records the
// program behind each command's name, so that another one behind the same name is noticed.
#pragma once

#include <string>

// The file the interpreter would start for word (text/program_words.h: a path as it is, else
// the first executable regular file of the search path), or "" when there is none.
std::string find_program_file(const std::string& word);
