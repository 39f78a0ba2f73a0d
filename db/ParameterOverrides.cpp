#include "ParameterOverrides.h"

namespace tarvel {

void ParameterOverrides::replace(std::string key, std::string value) {
    if (!value.empty()) m_overrides.push_back({std::move(key), std::move(value), false});
}

void ParameterOverrides::fillIn(std::string key, std::string value) {
    if (!value.empty()) m_overrides.push_back({std::move(key), std::move(value), true});
}

void ParameterOverrides::applyTo(ParameterList& params) const {
    for (const Override& override : m_overrides) {
        if (override.onlyWhenMissing && params.given(override.key)) continue;
        params.set(override.key, override.value);
    }
}

}  // namespace tarvel
