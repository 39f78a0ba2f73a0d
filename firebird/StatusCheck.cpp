#include "StatusCheck.h"

#include "ClientCall.h"
#include "DriverFailure.h"

namespace tarvel::fb {

std::string interpretStatus(const ClientLibrary& client, const ISC_STATUS* vector)
{
    std::string text;
    const ISC_STATUS* cursor = vector;
    char line[1024];
    while (client.interpret(line, sizeof line, &cursor) > 0) {
        if (!text.empty())
            text += '\n';
        text += line;
    }
    const ISC_LONG sqlcode = client.sqlcode(vector);
    if (sqlcode != 0 && text.find("SQL error code") == std::string::npos) {
        if (!text.empty())
            text += '\n';
        text += "SQL error code = " + std::to_string(sqlcode);
    }
    return text;
}

void check(const ClientLibrary& client, const ISC_STATUS* vector, sqldriver::Status failStatus)
{
    if (StatusVector::failed(vector))
        throw DriverFailure(failStatus, interpretStatus(client, vector));
}

ISC_STATUS errorCode(const ISC_STATUS* vector)
{
    return StatusVector::failed(vector) ? vector[1] : 0;
}

void StatusVector::check(const ClientLibrary& client, sqldriver::Status failStatus) const
{
    tarvel::fb::check(client, m_vector, failStatus);
}

}  // namespace tarvel::fb
