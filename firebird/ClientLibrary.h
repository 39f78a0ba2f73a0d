// Firebird's client library, loaded at run time by name, with the functions
// the driver calls. Every driver object keeps a shared reference to it.
#pragma once

#include <ibase.h>

#include <memory>
#include <string>

namespace tarvel::fb {

struct ClientLibrary {
    // Shuts down every client library this driver has loaded (fb_shutdown),
    // waiting at most timeoutMs; false when one of them reported a failure.
    static bool shutDownAll(unsigned timeoutMs);

    // Loads the library and resolves every function; throws DriverFailure
    // (DriverInitFailed) naming what is missing.
    static std::shared_ptr<const ClientLibrary> load(const std::string& name);

    decltype(&::isc_attach_database) attachDatabase = nullptr;
    decltype(&::isc_detach_database) detachDatabase = nullptr;
    decltype(&::isc_database_info) databaseInfo = nullptr;
    decltype(&::isc_start_multiple) startMultiple = nullptr;
    decltype(&::isc_commit_transaction) commitTransaction = nullptr;
    decltype(&::isc_commit_retaining) commitRetaining = nullptr;
    decltype(&::isc_rollback_transaction) rollbackTransaction = nullptr;
    decltype(&::isc_dsql_allocate_statement) allocateStatement = nullptr;
    decltype(&::isc_dsql_prepare) prepare = nullptr;
    decltype(&::isc_dsql_describe) describe = nullptr;
    decltype(&::isc_dsql_describe_bind) describeBind = nullptr;
    decltype(&::isc_dsql_execute) execute = nullptr;
    decltype(&::isc_dsql_execute2) executeWithRow = nullptr;
    decltype(&::isc_dsql_fetch) fetch = nullptr;
    decltype(&::isc_dsql_free_statement) freeStatement = nullptr;
    decltype(&::isc_dsql_sql_info) sqlInfo = nullptr;
    decltype(&::fb_interpret) interpret = nullptr;
    decltype(&::isc_sqlcode) sqlcode = nullptr;
    decltype(&::fb_sqlstate) sqlstate = nullptr;
    decltype(&::fb_cancel_operation) cancelOperation = nullptr;
    decltype(&::isc_open_blob2) openBlob = nullptr;
    decltype(&::isc_get_segment) getSegment = nullptr;
    decltype(&::isc_close_blob) closeBlob = nullptr;
    decltype(&::isc_create_blob2) createBlob = nullptr;
    decltype(&::isc_put_segment) putSegment = nullptr;
    decltype(&::isc_get_client_version) clientVersion = nullptr;
};

}  // namespace tarvel::fb
