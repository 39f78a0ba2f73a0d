#include "StatusCheck.h"

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
    if (vector[0] == 1 && vector[1] != 0)
        throw DriverFailure(failStatus, interpretStatus(client, vector));
}

ISC_STATUS errorCode(const ISC_STATUS* vector)
{
    return vector[0] == 1 ? vector[1] : 0;
}

}  // namespace tarvel::fb
