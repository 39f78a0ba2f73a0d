// Where the running program's file lies, read from /proc/self/exe: the
// driver library is looked for beside it and the default settings files sit
// in its folder.
#pragma once

#include <string>

namespace tarvel {

// Full path of the running program file; empty when the link cannot be read.
std::string programFilePath();

// The folder of the running program file (its path up to the last '/');
// empty when the path cannot be read, "." when it names no folder.
std::string programFolder();

}  // namespace tarvel
