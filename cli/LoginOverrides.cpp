#include "LoginOverrides.h"

#include <cstdlib>

#include "PasswordFile.h"
#include "SettingsText.h"

namespace tarvel {

namespace {

std::string environmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The password that stands before the entry's own, empty when none is given.
std::string passwordBeforeTheEntry(const RebuildArguments& arguments, const LoginEnvironment& environment,
                                   const std::function<std::string()>& readInput) {
    if (!arguments.passwordFile.empty()) {
        std::string password =
            arguments.passwordFromInput() ? readInput() : passwordFromFile(arguments.passwordFile);
        if (!password.empty()) return password;
    }
    return credentialPassword(environment.credentialsDirectory).value_or("");
}

}  // namespace

LoginEnvironment LoginEnvironment::ofProcess() {
    return {environmentValue("ISC_USER"), environmentValue("ISC_PASSWORD"), environmentValue("ISC_ROLE"),
            environmentValue("CREDENTIALS_DIRECTORY")};
}

ParameterOverrides loginOverrides(const RebuildArguments& arguments, const LoginEnvironment& environment,
                                  const std::function<std::string()>& readInput) {
    ParameterOverrides overrides;
    overrides.replace("Database", arguments.database);
    overrides.replace("User_Name", arguments.user);
    overrides.fillIn("User_Name", environment.iscUser);
    overrides.replace("Password", passwordBeforeTheEntry(arguments, environment, readInput));
    overrides.fillIn("Password", environment.iscPassword);
    return overrides;
}

std::string roleFor(const RebuildArguments& arguments, const LoginEnvironment& environment,
                    const std::string& entryRole) {
    if (!arguments.role.empty()) return arguments.role;
    const std::string entry = trimmed(entryRole);
    if (!entry.empty() && entry != kRolePlaceholder) return entry;
    return environment.iscRole;
}

}  // namespace tarvel
