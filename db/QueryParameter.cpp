#include "QueryParameter.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <type_traits>

#include "CalendarDays.h"
#include "Error.h"
#include "FieldText.h"
#include "NameCompare.h"
#include "NumberText.h"
#include "RegionalFormats.h"

namespace tarvel {

namespace {

template <class... Ts>
struct Overloaded : Ts... {
    using Ts::operator()...;
};
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

[[noreturn]] void invalidValue(const QueryParameter& parameter) {
    throw Error("Invalid value for parameter '" + parameter.name + "'");
}

template <class T>
void appendBytes(std::vector<unsigned char>& bytes, const T& value) {
    static_assert(std::is_trivially_copyable_v<T>);
    const auto* raw = reinterpret_cast<const unsigned char*>(&value);
    bytes.insert(bytes.end(), raw, raw + sizeof(T));
}

// The value as a number, for every kind that is one apart from text: whole
// numbers, floating values, booleans, money amounts and date-times. Money is
// divided in the type asked for, so each caller rounds exactly as before.
template <class Number>
std::optional<Number> numberOf(const ParameterValue& value) {
    return std::visit(Overloaded{
                          [](bool v) -> std::optional<Number> { return v ? 1 : 0; },
                          [](Currency v) -> std::optional<Number> {
                              return static_cast<Number>(v.scaled) / static_cast<Number>(10000);
                          },
                          [](DateTimeValue v) -> std::optional<Number> { return v.days; },
                          [](auto v) -> std::optional<Number> {
                              if constexpr (std::is_arithmetic_v<decltype(v)>) {
                                  return static_cast<Number>(v);
                              } else {
                                  return std::nullopt;
                              }
                          },
                      },
                      value);
}

// The value as a whole number, when it is one or a number that rounds to one.
bool wholeNumberOf(const ParameterValue& value, long double* result) {
    if (const auto* text = std::get_if<std::string>(&value)) {
        long long parsed = 0;
        const char* end = text->data() + text->size();
        const auto [ptr, ec] = std::from_chars(text->data(), end, parsed);
        if (ec != std::errc() || ptr != end || text->empty()) return false;
        *result = static_cast<long double>(parsed);
        return true;
    }
    // A point in time is no whole number, though it is a number.
    if (std::holds_alternative<DateTimeValue>(value)) return false;
    const std::optional<long double> number = numberOf<long double>(value);
    if (!number || !std::isfinite(*number)) return false;
    *result = std::nearbyint(*number);
    return true;
}

// The value as a floating-point number.
bool floatOf(const ParameterValue& value, double* result) {
    if (const auto* text = std::get_if<std::string>(&value)) {
        // The reader never yields a NaN itself, so one marks "not a number".
        const long double parsed = floatFromText(*text, std::numeric_limits<long double>::quiet_NaN(),
                                                 currentFormats().decimalSeparator);
        if (std::isnan(parsed)) return false;
        *result = static_cast<double>(parsed);
        return true;
    }
    const std::optional<double> number = numberOf<double>(value);
    if (!number) return false;
    *result = *number;
    return true;
}

// The value as text: texts unchanged, whole numbers in decimal, floating
// values as a floating field shows them.
bool textOf(const ParameterValue& value, std::string* result) {
    if (const auto* text = std::get_if<std::string>(&value)) {
        *result = *text;
        return true;
    }
    if (std::holds_alternative<double>(value) || std::holds_alternative<float>(value)) {
        double number = 0;
        floatOf(value, &number);
        *result = floatText(number, currentFormats());
        return true;
    }
    if (std::holds_alternative<DateTimeValue>(value) ||
        std::holds_alternative<sqldriver::SqlTimestamp>(value) ||
        std::holds_alternative<sqldriver::Bcd>(value) || std::holds_alternative<Currency>(value)) {
        return false;
    }
    long double whole = 0;
    if (!wholeNumberOf(value, &whole)) return false;
    *result = std::to_string(static_cast<long long>(whole));
    return true;
}

bool bcdOf(const ParameterValue& value, sqldriver::Bcd* result) {
    if (const auto* bcd = std::get_if<sqldriver::Bcd>(&value)) {
        *result = *bcd;
        return true;
    }
    if (const auto* money = std::get_if<Currency>(&value)) {
        *result = bcdFromScaled(money->scaled, 4, 5);
        return true;
    }
    long double whole = 0;
    if (std::holds_alternative<std::string>(value) || !wholeNumberOf(value, &whole)) return false;
    if (std::holds_alternative<double>(value) || std::holds_alternative<float>(value)) {
        // A floating value keeps four places, as a money amount does.
        double number = 0;
        floatOf(value, &number);
        const long double scaled = std::nearbyint(static_cast<long double>(number) * 10000.0L);
        if (!(std::fabs(scaled) < 9.2e18L)) return false;
        *result = bcdFromScaled(static_cast<std::int64_t>(scaled), 4, 5);
        return true;
    }
    *result = bcdFromScaled(static_cast<std::int64_t>(whole), 0, 1);
    return true;
}

// Days since 1899-12-30, the fraction the time of day, to a timestamp.
bool timestampOfDays(double days, sqldriver::SqlTimestamp* result) {
    if (!std::isfinite(days) || days < kFirstDayNumber - 1 || days > kLastDayNumber + 1) return false;
    const double wholeDays = std::floor(days);
    auto day = static_cast<std::int32_t>(wholeDays);
    long long ms = std::llround((days - wholeDays) * 86400000.0);
    if (ms >= 86400000) {
        ms -= 86400000;
        ++day;
    }
    CalendarDate date;
    if (!dateFromDayNumber(day, &date)) return false;
    result->year = static_cast<std::int16_t>(date.year);
    result->month = static_cast<std::uint16_t>(date.month);
    result->day = static_cast<std::uint16_t>(date.day);
    result->hour = static_cast<std::uint16_t>(ms / 3600000);
    result->minute = static_cast<std::uint16_t>(ms / 60000 % 60);
    result->second = static_cast<std::uint16_t>(ms / 1000 % 60);
    result->fraction = static_cast<std::uint32_t>(ms % 1000);
    return true;
}

bool timestampOf(const ParameterValue& value, sqldriver::SqlTimestamp* result) {
    if (const auto* ts = std::get_if<sqldriver::SqlTimestamp>(&value)) {
        *result = *ts;
        return true;
    }
    if (const auto* dt = std::get_if<DateTimeValue>(&value)) {
        return timestampOfDays(dt->days, result);
    }
    return false;
}

template <class Int>
bool integerOf(const ParameterValue& value, Int* result) {
    long double whole = 0;
    if (!wholeNumberOf(value, &whole)) return false;
    if (whole < static_cast<long double>(std::numeric_limits<Int>::min()) ||
        whole > static_cast<long double>(std::numeric_limits<Int>::max())) {
        return false;
    }
    *result = static_cast<Int>(whole);
    return true;
}

}  // namespace

ParameterType parameterTypeOf(const ParameterValue& value) {
    return std::visit(Overloaded{
                          [](const Unassigned&) { return ParameterType::Unknown; },
                          [](const NullValue&) { return ParameterType::Unknown; },
                          [](const std::string&) { return ParameterType::Text; },
                          [](double) { return ParameterType::Float; },
                          [](float) { return ParameterType::Float; },
                          [](std::uint32_t) { return ParameterType::Float; },
                          [](std::int8_t) { return ParameterType::Int16; },
                          [](std::int16_t) { return ParameterType::Int16; },
                          [](std::uint8_t) { return ParameterType::Int16; },
                          [](std::int32_t) { return ParameterType::Int32; },
                          [](std::uint16_t) { return ParameterType::Int32; },
                          [](Currency) { return ParameterType::Bcd; },
                          [](DateTimeValue) { return ParameterType::DateTime; },
                          [](bool) { return ParameterType::Boolean; },
                          [](std::int64_t) { return ParameterType::Int64; },
                          [](const sqldriver::SqlTimestamp&) { return ParameterType::SqlTimestamp; },
                          [](const sqldriver::Bcd&) { return ParameterType::ExtendedBcd; },
                      },
                      value);
}

bool QueryParameter::isNull() const {
    return std::holds_alternative<Unassigned>(value) || std::holds_alternative<NullValue>(value);
}

void QueryParameter::setValue(ParameterValue newValue) {
    if (!std::holds_alternative<Unassigned>(newValue)) bound = true;
    if (dataType == ParameterType::Unknown) dataType = parameterTypeOf(newValue);
    value = std::move(newValue);
}

ParameterBinding bindingOf(const QueryParameter& parameter) {
    ParameterBinding binding;
    switch (parameter.dataType) {
        case ParameterType::Unknown:
            throw Error("No value for parameter '" + parameter.name + "'");
        case ParameterType::Text:
            binding.kind = sqldriver::kind::Text;
            break;
        case ParameterType::Int16:
            binding.kind = sqldriver::kind::Int16;
            break;
        case ParameterType::Int32:
            binding.kind = sqldriver::kind::Int32;
            break;
        case ParameterType::Int64:
            binding.kind = sqldriver::kind::Int64;
            break;
        case ParameterType::Float:
            binding.kind = sqldriver::kind::Double;
            break;
        case ParameterType::Bcd:
            binding.kind = sqldriver::kind::Bcd;
            break;
        case ParameterType::ExtendedBcd:
            binding.kind = sqldriver::kind::ExtendedBcd;
            break;
        case ParameterType::DateTime:
            binding.kind = sqldriver::kind::DateTime;
            break;
        case ParameterType::SqlTimestamp:
            binding.kind = sqldriver::kind::SqlTimestamp;
            break;
        case ParameterType::Boolean:
            binding.kind = sqldriver::kind::Boolean;
            break;
    }
    if (parameter.isNull()) {
        binding.isNull = true;
        return binding;
    }

    switch (parameter.dataType) {
        case ParameterType::Unknown:
            break;
        case ParameterType::Text: {
            std::string text;
            if (!textOf(parameter.value, &text)) invalidValue(parameter);
            binding.bytes.assign(text.begin(), text.end());
            binding.bytes.push_back(0);
            binding.precision = static_cast<std::int32_t>(text.size());
            break;
        }
        case ParameterType::Int16: {
            std::int16_t v = 0;
            if (!integerOf(parameter.value, &v)) invalidValue(parameter);
            appendBytes(binding.bytes, v);
            break;
        }
        case ParameterType::Int32: {
            std::int32_t v = 0;
            if (!integerOf(parameter.value, &v)) invalidValue(parameter);
            appendBytes(binding.bytes, v);
            break;
        }
        case ParameterType::Int64: {
            std::int64_t v = 0;
            if (!integerOf(parameter.value, &v)) invalidValue(parameter);
            appendBytes(binding.bytes, v);
            break;
        }
        case ParameterType::Boolean: {
            std::int16_t v = 0;
            if (!integerOf(parameter.value, &v)) invalidValue(parameter);
            appendBytes(binding.bytes, static_cast<std::int16_t>(v != 0 ? 1 : 0));
            break;
        }
        case ParameterType::Float: {
            double v = 0;
            if (!floatOf(parameter.value, &v)) invalidValue(parameter);
            appendBytes(binding.bytes, v);
            break;
        }
        case ParameterType::Bcd:
        case ParameterType::ExtendedBcd: {
            sqldriver::Bcd v;
            if (!bcdOf(parameter.value, &v)) invalidValue(parameter);
            appendBytes(binding.bytes, v);
            binding.precision = v.precision;
            binding.scale = v.scale;
            return binding;
        }
        case ParameterType::DateTime:
        case ParameterType::SqlTimestamp: {
            sqldriver::SqlTimestamp v;
            if (!timestampOf(parameter.value, &v)) invalidValue(parameter);
            appendBytes(binding.bytes, v);
            break;
        }
    }
    // Fixed-size kinds give their byte count as precision, as a double gives 8.
    if (parameter.dataType != ParameterType::Text)
        binding.precision = static_cast<std::int32_t>(binding.length());
    return binding;
}

QueryParameter* findParameter(std::vector<QueryParameter>& parameters, std::string_view name) {
    for (QueryParameter& parameter : parameters) {
        if (sameNameIgnoringCase(parameter.name, name)) return &parameter;
    }
    return nullptr;
}

namespace {

void takeOver(const QueryParameter& old, QueryParameter& target) {
    target.dataType = old.dataType;
    target.value = old.isNull() ? ParameterValue{Unassigned{}} : old.value;
    target.bound = old.bound;
    target.name = old.name;
    if (target.direction == sqldriver::direction::Unknown) target.direction = old.direction;
    target.size = old.size;
    target.precision = old.precision;
    target.scale = old.scale;
}

}  // namespace

void carryOverParameters(const std::vector<QueryParameter>& oldList, std::vector<QueryParameter>& newList) {
    for (const QueryParameter& old : oldList) {
        if (QueryParameter* target = findParameter(newList, old.name)) takeOver(old, *target);
    }
}

void carryOverParameters(const std::vector<QueryParameter>& oldList, std::vector<QueryParameter>& newList,
                         const std::function<std::size_t(std::string_view)>& firstOf) {
    for (const QueryParameter& old : oldList) {
        const std::size_t position = firstOf(old.name);
        if (position < newList.size()) takeOver(old, newList[position]);
    }
}

}  // namespace tarvel
