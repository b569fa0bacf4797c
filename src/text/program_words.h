// Which words of a command name the programs that run it, and where the command interpreter
// looks for a program word. Pure rules; the platform searches the file system.
#pragma once

#include <string>
#include <vector>

// The leading words of a command's words that name programs: each compiler launcher in front
// (ccache, sccache, distcc, icecc, by the word's last component, ".exe" ignored) and then the
// program it starts. A launcher followed by an option or by nothing is the program itself.
std::vector<std::string> program_words(const std::vector<std::string>& words);

// The files the interpreter tries for a program word, in its order: a word holding a slash (or,
// with windows_names, a backslash or a drive colon) as it is; else the word in each directory
// of search_path, split at separator, an empty directory being the current one. Each candidate
// is tried as it is and then with each of extensions appended (Windows' PATHEXT; none on POSIX).
std::vector<std::string> program_candidates(const std::string& word,
                                            const std::string& search_path, char separator,
                                            const std::vector<std::string>& extensions,
                                            bool windows_names);
