// One named parameter of a query: its name, data type, value, and the form in
// which it is handed to the driver.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "SqlDriver.h"

namespace tarvel {

// What a parameter holds before anything was assigned.
struct Unassigned {
    bool operator==(const Unassigned&) const = default;
};
// An explicit SQL null.
struct NullValue {
    bool operator==(const NullValue&) const = default;
};
// A fixed-point money amount: the value times 10000.
struct Currency {
    std::int64_t scaled = 0;
    bool operator==(const Currency&) const = default;
};
// A point in time as days since 1899-12-30, the fraction the time of day.
struct DateTimeValue {
    double days = 0;
    bool operator==(const DateTimeValue&) const = default;
};

// A value a parameter can be given.
using ParameterValue =
    std::variant<Unassigned, NullValue, std::string, double, float, std::int8_t, std::int16_t, std::uint8_t,
                 std::uint16_t, std::int32_t, std::uint32_t, std::int64_t, bool, Currency, DateTimeValue,
                 sqldriver::SqlTimestamp, sqldriver::Bcd>;

enum class ParameterType {
    Unknown,
    Text,
    Int16,
    Int32,
    Float,
    Bcd,
    DateTime,
    Boolean,
    Int64,
    SqlTimestamp,
    ExtendedBcd,
};

// The data type a value of this kind gives a parameter whose type is unknown.
ParameterType parameterTypeOf(const ParameterValue& value);

struct QueryParameter {
    std::string name;
    ParameterType dataType = ParameterType::Unknown;
    ParameterValue value;
    bool bound = false;
    std::uint16_t direction = sqldriver::direction::Unknown;
    std::int32_t size = 0;
    std::int32_t precision = 0;
    std::int32_t scale = 0;

    // True while the value is unassigned or null.
    bool isNull() const;
    // Stores the value unchanged; the data type is taken from it only while unknown.
    void setValue(ParameterValue newValue);
};

// The arguments of one setParameter() call, apart from the position.
struct ParameterBinding {
    std::uint16_t kind = sqldriver::kind::Unknown;
    std::uint16_t subkind = sqldriver::subkind::None;
    std::int32_t precision = 0;
    std::int32_t scale = 0;
    std::vector<unsigned char> bytes;  // empty for a null
    bool isNull = false;

    std::uint32_t length() const { return static_cast<std::uint32_t>(bytes.size()); }
};

// How the parameter is handed to the driver. Throws tarvel::Error "No value for
// parameter '<name>'" while its data type is unknown, and when its value cannot
// be given in its data type.
ParameterBinding bindingOf(const QueryParameter& parameter);

// The first parameter of that name (letter case ignored), or nullptr.
QueryParameter* findParameter(std::vector<QueryParameter>& parameters, std::string_view name);

// A parameter list parsed afresh takes over the type, value, bound flag,
// spelling, direction and sizes of the old list's parameters whose names it
// still holds (the first new parameter of each old name).
void carryOverParameters(const std::vector<QueryParameter>& oldList, std::vector<QueryParameter>& newList);
// The same, with the position of the first new parameter of a name given by
// firstOf (static_cast<std::size_t>(-1): none) instead of searched for.
void carryOverParameters(const std::vector<QueryParameter>& oldList, std::vector<QueryParameter>& newList,
                         const std::function<std::size_t(std::string_view)>& firstOf);

}  // namespace tarvel
