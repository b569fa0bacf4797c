// Killing -M runs at random moments, shared by the sequential and the parallel tests.
#include "support/kill_loop.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

#include "support/scratch.h"

std::vector<std::string> entries_of(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> hidden_in(const std::string& dir) {
  std::vector<std::string> found;
  for (const std::string& name : entries_of(dir)) {
    if (name[0] == '.')
      found.push_back(name);
  }
  return found;
}

const char* const slow_dependency_compiler = R"sh(for source; do :; done
name=$(basename "$source" .c)
echo "$name.o: $source \\"
i=0
while [ $i -lt 12 ]; do
  echo "  include/a/rather/long/directory/name/for/header/number/$i/of/$name/first.h \\"
  echo "  include/a/rather/long/directory/name/for/header/number/$i/of/$name/second.h \\"
  sleep 0.01
  i=$((i + 1))
done
echo "  last.h"
)sh";

void kill_at_random_moments(int rounds, int longest_ms,
                            const std::function<started_program(int round)>& start_run,
                            const std::function<void(int round, int signal_number,
                                                     const started_program& run,
                                                     const process_result& ended)>& check) {
  std::random_device device;
  const unsigned seed = device();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> moment_ms(0, longest_ms);
  const int signals[] = {SIGINT, SIGTERM, SIGKILL};
  for (int round = 0; round < rounds; ++round) {
    const int signal_number = signals[round % 3];
    const int moment = moment_ms(random);
    SCOPED_TRACE("round " + std::to_string(round) + ": signal " + std::to_string(signal_number) +
                 " after " + std::to_string(moment) + " ms");
    started_program program = start_run(round);
    std::this_thread::sleep_for(std::chrono::milliseconds(moment));
    if (signal_number == SIGTERM)
      kill(program.pid, SIGTERM);
    else
      kill(-program.pid, signal_number);
    const process_result ended = wait_program(program);
    EXPECT_TRUE(ended.signal == signal_number || ended.status == 0)
        << ended.status << " " << ended.err;
    check(round, signal_number, program, ended);
    kill(-program.pid, SIGKILL);
  }
}

void expect_killed_runs_leave_whole_files(
    const std::function<started_program()>& start_run, const std::string& work,
    const std::vector<std::pair<std::string, std::string>>& complete, int longest_ms) {
  kill_at_random_moments(
      24, longest_ms, [&](int) { return start_run(); },
      [&](int, int signal_number, const started_program& program, const process_result&) {
        // A compiler left behind by SIGTERM to zrvbuild alone must not write on.
        kill(-program.pid, SIGKILL);
        for (const auto& [name, content] : complete) {
          const std::string path = work + "/" + name;
          if (file_exists(path)) {
            EXPECT_EQ(content, read_file(path)) << path;
          }
        }
        const std::vector<std::string> left = hidden_in(work);
        if (signal_number != SIGKILL) {
          EXPECT_EQ(std::vector<std::string>{}, left);
        }
        for (const std::string& name : left) std::filesystem::remove(work + "/" + name);
      });
}
