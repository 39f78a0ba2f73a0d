// What the command line and the environment put over the connection's entry,
// in the order an administrator of Firebird expects; the first value given
// wins and an empty value counts as not given:
//   database: --database, else Database=
//   user:     --user, else User_Name=, else ISC_USER
//   password: --fetch-password FILE (or "-" or "stdin", standard input), else
//             $CREDENTIALS_DIRECTORY/password, else Password=, else ISC_PASSWORD
//   role:     --role, else RoleName= unless it is the shipped placeholder
//             "RoleName", else ISC_ROLE; none when none of them gives one
#pragma once

#include <functional>
#include <string>

#include "ParameterOverrides.h"
#include "RebuildArguments.h"

namespace tarvel {

// The environment's part, read once at start.
struct LoginEnvironment {
    std::string iscUser;               // ISC_USER
    std::string iscPassword;           // ISC_PASSWORD
    std::string iscRole;               // ISC_ROLE
    std::string credentialsDirectory;  // CREDENTIALS_DIRECTORY

    static LoginEnvironment ofProcess();
};

// Reads the password where the arguments and the environment say (a file, a
// credential, or `readInput` for standard input) and returns the overrides
// for the connection. Throws Error when a named source cannot be read.
ParameterOverrides loginOverrides(const RebuildArguments& arguments, const LoginEnvironment& environment,
                                  const std::function<std::string()>& readInput);

// The entry's placeholder, which names no role.
constexpr const char* kRolePlaceholder = "RoleName";

// The role to log in with given the entry's RoleName= value; empty: none.
std::string roleFor(const RebuildArguments& arguments, const LoginEnvironment& environment,
                    const std::string& entryRole);

}  // namespace tarvel
