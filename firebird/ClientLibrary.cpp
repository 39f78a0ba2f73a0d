#include "ClientLibrary.h"

#include <dlfcn.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include "DriverFailure.h"

namespace tarvel::fb {

namespace {

template <typename Function>
void resolve(void* handle, const char* symbol, Function* target) {
    void* address = ::dlsym(handle, symbol);
    if (!address)
        throw DriverFailure(sqldriver::status::DriverInitFailed,
                            std::string("the client library has no function ") + symbol);
    *target = reinterpret_cast<Function>(address);
}

// Handles of the client libraries loaded so far, for shutDownAll().
std::mutex loadedMutex;
std::vector<void*> loadedHandles;

void remember(void* handle) {
    std::lock_guard<std::mutex> lock(loadedMutex);
    if (std::find(loadedHandles.begin(), loadedHandles.end(), handle) == loadedHandles.end())
        loadedHandles.push_back(handle);
}

}  // namespace

bool ClientLibrary::shutDownAll(unsigned timeoutMs) {
    std::lock_guard<std::mutex> lock(loadedMutex);
    bool ok = true;
    for (void* handle : loadedHandles) {
        auto shutdown = reinterpret_cast<decltype(&::fb_shutdown)>(::dlsym(handle, "fb_shutdown"));
        if (shutdown && shutdown(timeoutMs, fb_shutrsn_app_stopped) != 0) ok = false;
    }
    return ok;
}

std::shared_ptr<const ClientLibrary> ClientLibrary::load(const std::string& name) {
    if (name.empty()) throw DriverFailure(sqldriver::status::DriverInitFailed, "no client library named");
    // The handle is never closed: the client library starts threads and registers
    // exit handlers of its own, which must outlive every use of it in the process.
    void* handle = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* reason = ::dlerror();
        throw DriverFailure(sqldriver::status::DriverInitFailed,
                            "cannot load " + name + (reason ? std::string(": ") + reason : std::string()));
    }
    remember(handle);
    auto library = std::make_shared<ClientLibrary>();
    resolve(handle, "isc_attach_database", &library->attachDatabase);
    resolve(handle, "isc_detach_database", &library->detachDatabase);
    resolve(handle, "isc_database_info", &library->databaseInfo);
    resolve(handle, "isc_start_multiple", &library->startMultiple);
    resolve(handle, "isc_commit_transaction", &library->commitTransaction);
    resolve(handle, "isc_commit_retaining", &library->commitRetaining);
    resolve(handle, "isc_rollback_transaction", &library->rollbackTransaction);
    resolve(handle, "isc_dsql_allocate_statement", &library->allocateStatement);
    resolve(handle, "isc_dsql_prepare", &library->prepare);
    resolve(handle, "isc_dsql_describe", &library->describe);
    resolve(handle, "isc_dsql_describe_bind", &library->describeBind);
    resolve(handle, "isc_dsql_execute", &library->execute);
    resolve(handle, "isc_dsql_execute2", &library->executeWithRow);
    resolve(handle, "isc_dsql_fetch", &library->fetch);
    resolve(handle, "isc_dsql_free_statement", &library->freeStatement);
    resolve(handle, "isc_dsql_sql_info", &library->sqlInfo);
    resolve(handle, "fb_interpret", &library->interpret);
    resolve(handle, "isc_sqlcode", &library->sqlcode);
    resolve(handle, "fb_sqlstate", &library->sqlstate);
    resolve(handle, "fb_cancel_operation", &library->cancelOperation);
    resolve(handle, "isc_open_blob2", &library->openBlob);
    resolve(handle, "isc_get_segment", &library->getSegment);
    resolve(handle, "isc_close_blob", &library->closeBlob);
    resolve(handle, "isc_create_blob2", &library->createBlob);
    resolve(handle, "isc_put_segment", &library->putSegment);
    resolve(handle, "isc_get_client_version", &library->clientVersion);
    return library;
}

}  // namespace tarvel::fb
