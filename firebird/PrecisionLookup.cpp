#include "PrecisionLookup.h"

#include <cstring>
#include <string>

#include "ClientCall.h"
#include "ColumnDescription.h"
#include "SqlLiteral.h"

namespace tarvel::fb {

std::vector<int> declaredPrecisions(ConnectionCore& connection, SqlDescriptor& columns) {
    std::vector<int> precisions(columns.count(), 0);
    // One query for all columns: each branch returns the column's index with
    // the precision of the domain behind it.
    std::string sql;
    for (int i = 0; i < columns.count(); ++i) {
        const XSQLVAR& var = columns.entry(i);
        if (!isExactNumeric(columns.described(i)) || var.relname_length <= 0 || var.sqlname_length <= 0)
            continue;
        if (!sql.empty()) sql += " UNION ALL ";
        sql += "SELECT CAST(" + std::to_string(i) +
               " AS INTEGER), F.RDB$FIELD_PRECISION FROM RDB$RELATION_FIELDS RF"
               " JOIN RDB$FIELDS F ON F.RDB$FIELD_NAME = RF.RDB$FIELD_SOURCE"
               " WHERE RF.RDB$RELATION_NAME = " +
               sqlLiteral(std::string_view(var.relname, var.relname_length)) +
               " AND RF.RDB$FIELD_NAME = " + sqlLiteral(std::string_view(var.sqlname, var.sqlname_length));
    }
    if (sql.empty()) return precisions;

    const ClientLibrary& client = connection.client();
    Statement statement(connection.clientRef(), connection.database());
    SqlDescriptor result(2);
    isc_tr_handle* transaction = connection.prepareTransaction();
    callChecked(client, sqldriver::status::SqlError, client.prepare, transaction, statement.handle(), 0,
                sql.c_str(), SQL_DIALECT_V6, result.area());
    result.bindDescribedBuffers();
    callChecked(client, sqldriver::status::SqlError, client.execute, transaction, statement.handle(),
                SQLDA_VERSION1, nullptr);
    StatusVector status;
    while (client.fetch(status.get(), statement.handle(), SQLDA_VERSION1, result.area()) == 0) {
        if (result.isNull(0) || result.isNull(1)) continue;
        ISC_LONG index = 0;
        ISC_SHORT precision = 0;
        std::memcpy(&index, result.entry(0).sqldata, sizeof index);
        std::memcpy(&precision, result.entry(1).sqldata, sizeof precision);
        if (index >= 0 && index < static_cast<ISC_LONG>(precisions.size())) precisions[index] = precision;
    }
    status.check(client, sqldriver::status::SqlError);
    statement.closeCursor();
    return precisions;
}

}  // namespace tarvel::fb
