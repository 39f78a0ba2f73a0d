#include "LinesPerCallSetting.h"

#include <cstdlib>

namespace bench {

std::string linesPerCallSetting() {
    const char* value = std::getenv("BENCH_LINES_PER_CALL");
    return value && *value ? std::string("LinesPerCall=") + value + "\r\n" : std::string();
}

}  // namespace bench
