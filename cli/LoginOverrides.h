// What the command line and the environment put over the connection's entry,
// in the order an administrator of Firebird expects; the first value given
// wins and an empty value counts as not given:
//   database: --database, else Database=
//   user:     --user, else User_Name=, else ISC_USER
//   password: --fetch-password FILE (or "-", standard input), else
//             $CREDENTIALS_DIRECTORY/password, else Password=, else ISC_PASSWORD
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
    std::string credentialsDirectory;  // CREDENTIALS_DIRECTORY

    static LoginEnvironment ofProcess();
};

// Reads the password where the arguments and the environment say (a file, a
// credential, or `readInput` for standard input) and returns the overrides
// for the connection. Throws Error when a named source cannot be read.
ParameterOverrides loginOverrides(const RebuildArguments& arguments, const LoginEnvironment& environment,
                                  const std::function<std::string()>& readInput);

}  // namespace tarvel
