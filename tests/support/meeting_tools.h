// Shell lines for fake tools that show commands ran at once by the order of the lines they log,
// at any speed, instead of by sleeping: each command writes its start line to a log, waits for
// others to start (two minutes at most, so that a run that never starts them still ends) and
// then writes its end line. Two commands ran at once when both started before either ended.
#pragma once

#include <string>

// Waits for the rest of the command's group. MEET (a shell word naming a file) holds "GROUP
// TOTAL"; the K-th start in LOG (a shell word) among the lines the awk condition COUNTED selects
// waits until the (K rounded up to a multiple of GROUP)-th, or the TOTAL-th, has started. The
// awk condition SELF picks the command's own start line out of those.
inline std::string wait_for_group_lines(const std::string& meet, const std::string& log,
                                        const std::string& counted, const std::string& self) {
  return "read group total < " + meet +
         "\n"
         "tries=0\n"
         "while [ $tries -lt 1200 ]; do\n"
         "  counts=$(awk '$1 == \"start\" && " +
         counted + " { n++; if (" + self + ") place = n } END { print place + 0, n + 0 }' " + log +
         ")\n"
         "  place=${counts% *}; started=${counts#* }\n"
         "  awaited=$(( (place + group - 1) / group * group ))\n"
         "  [ $awaited -le $total ] || awaited=$total\n"
         "  [ $started -lt $awaited ] || break\n"
         "  sleep 0.1; tries=$((tries + 1))\n"
         "done\n";
}

// Waits until LOG (a shell word) holds the start line of the output named in the file AWAIT.
inline std::string wait_for_start_lines(const std::string& await, const std::string& log) {
  return "tries=0\n"
         "until grep -q \"^start $(cat " +
         await + ") \" " + log +
         " || [ $tries -ge 1200 ]; do\n"
         "  sleep 0.1; tries=$((tries + 1))\n"
         "done\n";
}
