// The password typed or piped on standard input (--fetch-password -): one
// line, read without echo when the input is a terminal, after a prompt.
#pragma once

#include <cstdio>
#include <string>

namespace tarvel {

// Reads one line from `input` (without its line end). On a terminal it shows
// "Password: " on `prompts` and switches echo off until the line is read; a
// stop signal meanwhile switches echo back on before it takes effect. Throws
// Error when the input cannot be read or ends before any line.
std::string passwordFromInput(int input, std::FILE* prompts);

}  // namespace tarvel
