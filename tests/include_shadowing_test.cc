// Where a header would have been found first: the source's directory and the include search
// directories before the one that held it.
#include "phases/include_shadowing.h"

#include <gtest/gtest.h>

TEST(IncludeShadowing, EarlierDirectoriesInTheCompilersOrder) {
  const std::vector<std::string> words = {
      "gcc", "-c", "-Iinc2", "-isystem", "sys", "-I", "inc 3", "-iquoteq", "-idirafterlate",
      "src/a.c", "-o", "a.o"};
  const struct {
    std::string header;
    std::vector<std::string> expected;
  } cases[] = {
      // Search order: q (-iquote), inc2, inc 3 (-I), sys (-isystem), late (-idirafter).
      {"q/x.h", {"src/x.h"}},
      {"inc2/x.h", {"src/x.h", "q/x.h"}},
      {"inc 3/sub/y.h", {"src/sub/y.h", "q/sub/y.h", "inc2/sub/y.h"}},
      {"sys/z.h", {"src/z.h", "q/z.h", "inc2/z.h", "inc 3/z.h"}},
      {"late/w.h", {"src/w.h", "q/w.h", "inc2/w.h", "inc 3/w.h", "sys/w.h"}},
      // The compiler's own headers, a header beside the source and the source itself.
      {"/usr/include/stdio.h", {}},
      {"src/own.h", {}},
      {"src/a.c", {}},
      // A directory's name as the start of another's is no match.
      {"inc22/x.h", {}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.expected, include_shadowing_candidates(words, "src/a.c", {c.header})) << c.header;
  // Each candidate once, across headers.
  EXPECT_EQ((std::vector<std::string>{"x.h", "q/x.h"}),
            include_shadowing_candidates({"-Iq", "-Ir"}, "a.c", {"r/x.h", "r/x.h", "a.c"}));
}
