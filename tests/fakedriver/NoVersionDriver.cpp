// A driver library that lacks the interface version function, so that tests
// can check that the program refuses it before calling its entry function.
#include "SqlDriver.h"

extern "C" __attribute__((visibility("default"))) sqldriver::Status GetFakeDriver(
    const char*, const char*, sqldriver::ISQLDriver** driver) {
    *driver = nullptr;
    return sqldriver::status::DriverInitFailed;
}
