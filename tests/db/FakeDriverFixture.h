// A connection that loads the scriptable fake driver, and the two queries on it.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "FakeDriverScript.h"
#include "RegionalFormats.h"
#include "SqlConnection.h"
#include "SqlQuery.h"
#include "TestDatabase.h"

namespace tarvel::testing {

class FakeDriverFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Opens the connection and forgets the calls the opening made.
    void openConnection();
    // The calls made since the last clearLog(), without the release calls of
    // objects the test does not look at.
    static std::vector<std::string> statementLog();
    // Runs f and returns the text of the tarvel::Error it throws ("" if none).
    template <class F>
    static std::string failureOf(F&& f) {
        try {
            f();
        } catch (const std::exception& e) {
            return e.what();
        }
        return std::string();
    }

    TempDir m_dir;
    std::unique_ptr<SqlConnection> connection;
    std::unique_ptr<SqlQuery> query1;
    std::unique_ptr<SqlQuery> query2;

private:
    RegionalFormats m_savedFormats;
};

}  // namespace tarvel::testing
