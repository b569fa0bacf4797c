// Where a header would have been found first, had a file been there: what an incremental build
// records as looked for in vain. A pure rule on the command's words and the compiler's list.
#pragma once

#include <string>
#include <vector>

// For each header a compile read that lies in a directory of its include search (its -iquote,
// -I, -isystem and -idirafter options, "-IDIR" or "-I DIR", in the compiler's order), the same
// name in the source's own directory and in each directory searched before that one. Headers
// outside those directories (the compiler's own) give none; neither does the source.
std::vector<std::string> include_shadowing_candidates(const std::vector<std::string>& words,
                                                      const std::string& source,
                                                      const std::vector<std::string>& headers);
