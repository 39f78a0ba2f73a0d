#include "FbMetaData.h"

#include <cstring>

namespace tarvel::fb {

using namespace sqldriver::status;
namespace metaopt = sqldriver::metaopt;

sqldriver::Status FbMetaData::setOption(std::int32_t option, const char* value) {
    return run([&] {
        // Firebird has no schemas; the name is kept and not otherwise used.
        if (option == metaopt::SchemaName) m_schemaName = value ? value : "";
    });
}

sqldriver::Status FbMetaData::getOption(std::int32_t option, void* buffer, std::int32_t size,
                                        std::int32_t* resultLength) {
    return run([&] {
        auto putNumber = [&](std::int32_t value) {
            if (!buffer || size < static_cast<std::int32_t>(sizeof value))
                throw DriverFailure(InvalidLength, "the buffer is too small for the option");
            std::memcpy(buffer, &value, sizeof value);
            if (resultLength) *resultLength = sizeof value;
        };
        switch (option) {
            case metaopt::SupportsTransaction:
            case metaopt::SupportsTransactions:
                putNumber(1);
                break;
            case metaopt::QuoteChar:
                if (!buffer || size < 1)
                    throw DriverFailure(InvalidLength, "the buffer is too small for the option");
                // Dialect 1 has no quoted identifiers.
                *static_cast<char*>(buffer) = m_connection->options().dialect == 3 ? '"' : '\0';
                if (resultLength) *resultLength = 1;
                break;
            default:
                throw DriverFailure(NotSupported,
                                    "metadata option " + std::to_string(option) + " cannot be read");
        }
    });
}

}  // namespace tarvel::fb
