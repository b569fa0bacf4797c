// A library whose name carries the product word, for finding the installation root from a
// loaded module.
extern "C" __declspec(dllexport) int zorvan_probe_answer(void) { return 42; }
