// The driver object and the library's two exported functions.
#include <memory>
#include <string>

#include "ClientLibrary.h"
#include "DriverObject.h"
#include "FbConnection.h"
#include "SqlDriver.h"

namespace tarvel::fb {

namespace {

class FbDriver final : public DriverObject<sqldriver::ISQLDriver> {
public:
    explicit FbDriver(ClientRef client) : m_client(std::move(client)) {}

    sqldriver::Status getSQLConnection(sqldriver::ISQLConnection** connection) override {
        return run([&] {
            if (!connection)
                throw DriverFailure(sqldriver::status::InvalidParameter, "no place for the connection");
            *connection = new FbConnection(m_client);
        });
    }

private:
    ~FbDriver() override = default;

    ClientRef m_client;
};

}  // namespace

}  // namespace tarvel::fb

extern "C" __attribute__((visibility("default"))) sqldriver::Status GetFirebirdDriver(
    const char* vendorLib, const char* /*errorResourceFile*/, sqldriver::ISQLDriver** driver) {
    if (!driver) return sqldriver::status::InvalidParameter;
    *driver = nullptr;
    try {
        *driver = new tarvel::fb::FbDriver(tarvel::fb::ClientLibrary::load(vendorLib ? vendorLib : ""));
        return sqldriver::status::Ok;
    } catch (const tarvel::fb::DriverFailure& failure) {
        return failure.status();
    } catch (...) {
        return sqldriver::status::DriverInitFailed;
    }
}

extern "C" __attribute__((visibility("default"))) std::uint32_t SqlDriverInterfaceVersion() {
    return sqldriver::kInterfaceVersion;
}

extern "C" __attribute__((visibility("default"))) sqldriver::Status SqlDriverShutdown(
    std::uint32_t timeoutMs) {
    return tarvel::fb::ClientLibrary::shutDownAll(timeoutMs) ? sqldriver::status::Ok
                                                             : sqldriver::status::SqlError;
}

// The signatures must stay those the program looks the functions up with.
static_assert(std::is_same_v<decltype(&GetFirebirdDriver), SqlDriverEntry>);
static_assert(std::is_same_v<decltype(&SqlDriverInterfaceVersion), SqlDriverVersionFunc>);
static_assert(std::is_same_v<decltype(&SqlDriverShutdown), SqlDriverShutdownFunc>);
