// Ownership of objects the driver hands out: released, never deleted.
#pragma once

#include <memory>

#include "SqlDriver.h"

namespace tarvel {

struct DriverObjectRelease {
    void operator()(sqldriver::ISQLObject* object) const noexcept {
        if (object) object->release();
    }
};

template <class T>
using DriverHandle = std::unique_ptr<T, DriverObjectRelease>;

}  // namespace tarvel
