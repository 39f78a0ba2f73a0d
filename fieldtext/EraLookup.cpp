#include "EraLookup.h"

namespace tarvel {

const Era* eraOfDay(const RegionalFormats& formats, std::int32_t dayNumber) {
    const Era* found = nullptr;
    for (const Era& era : formats.eras) {
        if (era.startDay <= dayNumber && (found == nullptr || era.startDay >= found->startDay)) found = &era;
    }
    return found;
}

}  // namespace tarvel
