// Temporary: replaced by the eval and search commands.
#include "bench.h"
int bench_eval(int, char**) { return 2; }
