// What every object the driver hands out has in common: release() deletes
// it, and the error calls read its ErrorSlot.
#pragma once

#include <utility>

#include "ErrorSlot.h"
#include "SqlDriver.h"

namespace tarvel::fb {

template <typename Interface>
class DriverObject : public Interface {
public:
    void release() override { delete this; }
    sqldriver::Status getErrorMessageLen(std::uint16_t* length) override { return errors().length(length); }
    sqldriver::Status getErrorMessage(char* buffer) override { return errors().copy(buffer); }
    sqldriver::Status getErrorCodes(sqldriver::ErrorCodes* codes) override { return errors().codes(codes); }

protected:
    // Objects are released, never deleted by their callers.
    virtual ~DriverObject() = default;

    // The slot the object's failures are recorded in: its own, unless it
    // shares one (a connection shares its slot with its core).
    virtual ErrorSlot& errors() { return m_errors; }

    // Runs one interface call's work through the slot (ErrorSlot::run).
    template <typename Work>
    sqldriver::Status run(Work&& work) {
        return errors().run(std::forward<Work>(work));
    }

private:
    ErrorSlot m_errors;
};

}  // namespace tarvel::fb
