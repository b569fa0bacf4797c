// Fuzzes read_line and the dependency-line rewriting on arbitrary bytes, as the dependency
// phase copies compiler output: one line written per read, every byte that is not the target
// part copied unchanged, and the lines read giving back the input exactly.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "phases/depend.h"

namespace {

const std::string dependency_file = "x.d";

void require(bool holds) {
  if (!holds)
    std::abort();
}

bool text_ends_with(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// A line without ".o:" is copied whole. Otherwise the output is "pic/O O D" and then the rest
// of the line from the colon of the last ".o:", copied unchanged, where O is the end of the
// target text after its last '/'.
void check_rewrite(const std::string& line, const std::string& written) {
  const std::string::size_type colon = line.rfind(".o:");
  if (colon == std::string::npos) {
    require(written == line);
    return;
  }
  const std::string target = line.substr(0, colon + 2);
  const std::string rest = line.substr(colon + 2);
  const std::string::size_type fixed = 6 + dependency_file.size() + rest.size();
  require(written.size() >= fixed && (written.size() - fixed) % 2 == 0);
  const std::string object = written.substr(4, (written.size() - fixed) / 2);
  require(written == "pic/" + object + " " + object + " " + dependency_file + rest);
  require(text_ends_with(target, object) && object.find('/') == std::string::npos);
  require(object.size() == target.size() || target[target.size() - object.size() - 1] == '/');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  std::FILE* stream = fmemopen(size == 0 ? nullptr : &input[0], size, "r");
  if (stream == nullptr)
    return 0;

  std::string joined;
  std::string output;
  std::size_t reads = 0;
  while (!std::feof(stream)) {
    const std::string line = read_line(stream);
    require(line.find('\n') == std::string::npos);
    if (reads > 0)
      joined += '\n';
    joined += line;
    ++reads;
    const std::string written = rewrite_dependency_line(line, dependency_file);
    check_rewrite(line, written);
    output += written;
    output += '\n';
    if (std::ferror(stream))
      break;
  }
  std::fclose(stream);

  require(joined == input);
  std::size_t lines_written = 0;
  for (char c : output)
    lines_written += c == '\n';
  require(lines_written == reads);
  return 0;
}
