// Whole files as text, and the folder of the built programs: for the tests and
// benchmarks that write settings files and read what a child process printed.
#pragma once

#include <string>

namespace tarvel::testing {

// Writes `text` to `path`, replacing the file; throws std::runtime_error when
// it cannot.
void writeFile(const std::string& path, const std::string& text);

// The file's whole content; empty when it cannot be read.
std::string readFile(const std::string& path);

// The folder of the built programs and libraries: TARVEL_TEST_BIN when set
// and not empty, else the current folder.
std::string binFolder();

}  // namespace tarvel::testing
