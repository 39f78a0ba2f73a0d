// Values put over a connection's named entry once it is read, for settings
// that come from elsewhere (the command line, the environment): each either
// replaces the entry's value of its key, or fills it in only when the entry
// gives none. An empty value is never put anywhere: it counts as not given,
// as an empty value in the entry does.
#pragma once

#include <string>
#include <vector>

#include "ParameterList.h"

namespace tarvel {

class ParameterOverrides {
public:
    // The entry's value of `key` gives way to `value`.
    void replace(std::string key, std::string value);
    // `value` is taken for `key` only when the entry (and every override
    // before this one) leaves the key without a value.
    void fillIn(std::string key, std::string value);

    // Puts the overrides over `params` in the order they were added.
    void applyTo(ParameterList& params) const;
    bool empty() const { return m_overrides.empty(); }

private:
    struct Override {
        std::string key;
        std::string value;
        bool onlyWhenMissing;
    };
    std::vector<Override> m_overrides;
};

}  // namespace tarvel
