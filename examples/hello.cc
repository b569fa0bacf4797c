// A minimal extension source.
extern "C" int zrv_hello(void) { return 42; }
