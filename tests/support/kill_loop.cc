// Killing runs at random moments, shared by the -M tests (sequential and parallel) and the
// incremental-build tests.
#include "support/kill_loop.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
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

namespace {

// Waits up to a minute until no process of the group is left but zombies.
void wait_for_group(pid_t group) {
  for (int waited_ms = 0; waited_ms < 60000; waited_ms += 10) {
    bool running = false;
    std::error_code error;
    for (std::filesystem::directory_iterator entry("/proc", error), last;
         !error && entry != last && !running; entry.increment(error)) {
      const std::string stat = read_file(entry->path().string() + "/stat");
      const std::size_t end = stat.rfind(')');
      char state = 0;
      long process_group = 0;
      running = end != std::string::npos &&
                std::sscanf(stat.c_str() + end + 1, " %c %*d %ld", &state, &process_group) == 2 &&
                process_group == group && state != 'Z';
    }
    if (!running) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace

void kill_at_random_moments(int rounds, int longest_ms,
                            const std::function<started_program(int round)>& start_run,
                            const std::function<void(int signal_number)>& check) {
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
    // The group outlives its leader, whose id wait_program forgets.
    const pid_t group = program.pid;
    std::this_thread::sleep_for(std::chrono::milliseconds(moment));
    if (signal_number == SIGTERM)
      kill(group, SIGTERM);
    else
      kill(-group, signal_number);
    const process_result ended = wait_program(program);
    EXPECT_TRUE(ended.signal == signal_number || ended.status == 0)
        << ended.status << " " << ended.err;
    if (signal_number == SIGTERM) wait_for_group(group);
    kill(-group, SIGKILL);
    check(signal_number);
  }
}

void expect_no_temporaries_left(const std::string& dir, int signal_number,
                                const std::vector<std::string>& kept) {
  std::vector<std::string> left;
  for (const std::string& name : hidden_in(dir)) {
    if (std::find(kept.begin(), kept.end(), name) == kept.end()) left.push_back(name);
  }
  if (signal_number != SIGKILL) {
    EXPECT_EQ(std::vector<std::string>{}, left);
  }
  for (const std::string& name : left) std::filesystem::remove(dir + "/" + name);
}

void expect_killed_runs_leave_whole_files(
    const std::function<started_program()>& start_run, const std::string& work,
    const std::vector<std::pair<std::string, std::string>>& complete, int longest_ms) {
  // A compiler left behind by SIGTERM to zrvbuild alone, run to its end, must not have written
  // into a dependency file either.
  kill_at_random_moments(
      24, longest_ms, [&](int) { return start_run(); },
      [&](int signal_number) {
        for (const auto& [name, content] : complete) {
          const std::string path = work + "/" + name;
          if (file_exists(path)) {
            EXPECT_EQ(content, read_file(path)) << path;
          }
        }
        expect_no_temporaries_left(work, signal_number, {});
      });
}
