// A stand-alone program with a definition and the project's shared library.
#include <usage.h>
#include <zorvan/zorvan.h>
#include <zorvan/zrvinterp.h>

#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
  std::vector<double> values;
  for (int i = 1; i < argc; ++i)
    values.push_back(std::strtod(argv[i], nullptr));
  const double mean = zorvan_mean(values.data(), static_cast<int>(values.size()));
  zrvinterp_show("usage", usage_plus_one(mean) * USAGE_FACTOR);
  return 0;
}
