// A test fixture run twice: against an embedded database file and against the
// same kind of file through the loopback server.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "DriverHarness.h"
#include "TestDatabase.h"

namespace tarvel::testing {

enum class Access { Embedded, Server };

inline std::string accessName(const ::testing::TestParamInfo<Access>& info) {
    return info.param == Access::Embedded ? "Embedded" : "Server";
}

class DriverTest : public ::testing::TestWithParam<Access> {
protected:
    void SetUp() override {
        if (GetParam() == Access::Server) TARVEL_SKIP_WITHOUT_SERVER();
    }

    // Creates database `name` with the script; returns how to reach it.
    std::string makeDatabase(const std::string& script, const std::string& name = "test.fdb") {
        const std::string path = m_dir.file(name);
        createDatabase(path, script);
        return GetParam() == Access::Server ? serverDatabase(path) : path;
    }

    ConnectSettings settingsFor(const std::string& database) const {
        ConnectSettings settings;
        settings.database = database;
        settings.password = testPassword();
        return settings;
    }

    TempDir m_dir;
};

#define TARVEL_BOTH_ACCESSES(Fixture)                                                              \
    INSTANTIATE_TEST_SUITE_P(                                                                      \
        Access, Fixture,                                                                           \
        ::testing::Values(::tarvel::testing::Access::Embedded, ::tarvel::testing::Access::Server), \
        ::tarvel::testing::accessName)

}  // namespace tarvel::testing
