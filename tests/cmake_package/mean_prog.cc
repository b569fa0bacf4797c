// A stand-alone program linked against the environment's libraries: shows the mean of its
// arguments through the interpreter library.
#include <zorvan/zorvan.h>
#include <zorvan/zrvinterp.h>

#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
  std::vector<double> values;
  for (int i = 1; i < argc; ++i)
    values.push_back(std::strtod(argv[i], nullptr));
  zrvinterp_show("mean", zorvan_mean(values.data(), static_cast<int>(values.size())));
  return 0;
}
