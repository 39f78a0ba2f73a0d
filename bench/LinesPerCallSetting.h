// The LinesPerCall line the benchmarks put in the settings files they write.
#pragma once

#include <string>

namespace bench {

// "LinesPerCall=<BENCH_LINES_PER_CALL>" and a line end when that variable is
// set and not empty; otherwise nothing, and the program takes its default.
std::string linesPerCallSetting();

}  // namespace bench
