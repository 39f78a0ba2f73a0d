#include "PreparedStatement.h"

#include "ClientCall.h"
#include "DriverFailure.h"
#include "InfoBuffer.h"
#include "PrecisionLookup.h"

namespace tarvel::fb {

using namespace sqldriver::status;

namespace {

// The statement type the server gives for a prepared statement.
int statementType(const ClientLibrary& client, Statement& handle) {
    const char item = isc_info_sql_stmt_type;
    char result[16] = {};
    callChecked(client, SqlError, client.sqlInfo, handle.handle(), 1, &item, sizeof result, result);
    if (result[0] != isc_info_sql_stmt_type)
        throw DriverFailure(SqlError, "the server gave no statement type");
    return static_cast<int>(infoInteger(result + 3, infoLength(result + 1)));
}

}  // namespace

PreparedStatement::PreparedStatement(std::shared_ptr<ConnectionCore> connection)
    : m_connection(std::move(connection)) {}

void PreparedStatement::prepare(const char* sql) {
    endResult();
    m_prepared = false;
    m_descriptions.clear();
    m_bound.clear();
    ConnectionCore& core = *m_connection;
    const ClientLibrary& client = core.client();
    if (!m_handle.isAllocated()) m_handle = Statement(core.clientRef(), core.database());
    if (!sql || !*sql) throw DriverFailure(SqlError, "empty statement text");

    m_columns.reserve(m_columns.capacity());
    callChecked(client, SqlError, client.prepare, core.prepareTransaction(), m_handle.handle(), 0, sql,
                static_cast<unsigned short>(core.options().dialect), m_columns.area());
    describeArea(m_columns, false);
    describeArea(m_parameters, true);

    const int type = statementType(client, m_handle);
    m_returnsRows = type == isc_info_sql_stmt_select || type == isc_info_sql_stmt_select_for_upd;
    if (m_returnsRows) {
        const std::vector<int> precisions = declaredPrecisions(core, m_columns);
        for (int i = 0; i < m_columns.count(); ++i)
            m_descriptions.push_back(
                describeColumn(m_columns.entry(i), m_columns.described(i), precisions[i]));
    }
    m_bound.assign(m_parameters.count(), false);
    m_prepared = true;
}

void PreparedStatement::describeArea(SqlDescriptor& area, bool input) {
    const ClientLibrary& client = m_connection->client();
    auto describe = [&] {
        callChecked(client, SqlError, input ? client.describeBind : client.describe, m_handle.handle(),
                    SQLDA_VERSION1, area.area());
    };
    if (input) describe();
    if (area.describedCount() > area.capacity()) {
        area.reserve(area.describedCount());
        describe();
    }
    area.bindDescribedBuffers();
}

void PreparedStatement::requireAllBound() const {
    for (std::size_t i = 0; i < m_bound.size(); ++i)
        if (!m_bound[i])
            throw DriverFailure(ParameterNotSet, "parameter " + std::to_string(i + 1) + " has no value");
}

void PreparedStatement::endResult() {
    if (m_resultOpen) {
        m_handle.closeCursor();
        m_resultOpen = false;
    }
}

unsigned PreparedStatement::beginResult() {
    endResult();
    m_resultOpen = true;
    return ++m_result;
}

std::int32_t PreparedStatement::readRowsAffected() {
    const ClientLibrary& client = m_connection->client();
    const char item = isc_info_sql_records;
    char result[64] = {};
    callChecked(client, SqlError, client.sqlInfo, m_handle.handle(), 1, &item, sizeof result, result);
    if (result[0] != isc_info_sql_records) return 0;
    std::int64_t rows = 0;
    const char* end = result + 3 + infoLength(result + 1);
    for (const char* p = result + 3; p + 3 <= end && *p != isc_info_end;) {
        const char code = *p;
        const int length = infoLength(p + 1);
        if (code == isc_info_req_insert_count || code == isc_info_req_update_count ||
            code == isc_info_req_delete_count)
            rows += infoInteger(p + 3, length);
        p += 3 + length;
    }
    return static_cast<std::int32_t>(rows);
}

}  // namespace tarvel::fb
