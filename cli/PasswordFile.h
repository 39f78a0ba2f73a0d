// Passwords kept in files: a password file (--fetch-password FILE) and the
// password a systemd unit hands over as a credential
// ($CREDENTIALS_DIRECTORY/password). The password is the file's first line,
// without its line end. Error texts name the file, never its content.
#pragma once

#include <optional>
#include <string>

namespace tarvel {

// The first line of the file; throws Error when it cannot be read.
std::string passwordFromFile(const std::string& path);
// The first line of `directory`/password; nothing when the directory is
// empty or holds no such file. Throws Error when the file is there but cannot
// be read (a unit that hands over a credential means it to be used).
std::optional<std::string> credentialPassword(const std::string& directory);

// The first line of `text` without "\n" or "\r\n".
std::string firstLine(const std::string& text);

}  // namespace tarvel
