// The scriptable fake driver: every interface call is logged and answered from
// the script that FakeDriverScript.h sets up.
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <sstream>

#include "FakeDriverScript.h"

using sqldriver::Status;
namespace st = sqldriver::status;

namespace fakedriver {
namespace {

struct Failure {
    Status status = 0;
    int skip = 0;
    bool always = false;
};

struct Script {
    std::vector<std::string> log;
    std::map<std::string, std::deque<Failure>> failures;
    std::map<std::string, std::string> messages;
    std::map<std::int32_t, std::string> connectionOptions;
    std::map<std::int32_t, std::string> metaDataOptions;
    std::map<std::string, ResultSet> resultsBySql;
    std::deque<std::optional<ResultSet>> resultQueue;
    std::int32_t rowsAffected = 0;
    std::uint32_t interfaceVersion = sqldriver::kInterfaceVersion;
    std::map<std::string, int> live;
};

std::string intBytes(std::int32_t v) { return std::string(reinterpret_cast<const char*>(&v), sizeof v); }

void setDefaults(Script& s) {
    s.connectionOptions[sqldriver::connopt::MaxStatements] = intBytes(0);
    s.metaDataOptions[sqldriver::metaopt::QuoteChar] = std::string(1, '"');
    s.metaDataOptions[sqldriver::metaopt::SupportsTransaction] = intBytes(1);
    s.metaDataOptions[sqldriver::metaopt::SupportsTransactions] = intBytes(1);
}

Script& script() {
    static Script* s = [] {
        auto* p = new Script;  // never freed: objects may outlive static destruction order
        setDefaults(*p);
        return p;
    }();
    return *s;
}

// Logs the call and returns the scripted status for it (0 when none).
Status enter(const std::string& call, const std::string& args = {}) {
    Script& s = script();
    s.log.push_back(args.empty() ? call : call + " " + args);
    auto it = s.failures.find(call);
    if (it == s.failures.end() || it->second.empty()) return st::Ok;
    Failure& f = it->second.front();
    if (f.always) return f.status;
    if (f.skip > 0) {
        --f.skip;
        return st::Ok;
    }
    Status result = f.status;
    it->second.pop_front();
    return result;
}

std::string q(const char* text) { return text ? "\"" + quote(text) + "\"" : std::string("(null)"); }

std::string describeValue(std::uint16_t kind, std::uint32_t length, const void* value) {
    if (!value) return "-";
    const auto* bytes = static_cast<const char*>(value);
    namespace k = sqldriver::kind;
    std::ostringstream out;
    switch (kind) {
        case k::Text:
        case k::Bytes:
        case k::Blob:
            return "\"" + quote(std::string(bytes, length)) + "\"";
        case k::Int16:
        case k::Boolean:
            if (length == 2) {
                std::int16_t v;
                std::memcpy(&v, bytes, 2);
                return "int=" + std::to_string(v);
            }
            break;
        case k::Int32:
        case k::Date:
            if (length == 4) {
                std::int32_t v;
                std::memcpy(&v, bytes, 4);
                return "int=" + std::to_string(v);
            }
            break;
        case k::Int64:
            if (length == 8) {
                std::int64_t v;
                std::memcpy(&v, bytes, 8);
                return "int=" + std::to_string(v);
            }
            break;
        case k::Double:
            if (length == 8) {
                double v;
                std::memcpy(&v, bytes, 8);
                char buf[40];
                std::snprintf(buf, sizeof buf, "double=%.17g", v);
                return buf;
            }
            break;
        default:
            break;
    }
    out << "hex=";
    static const char* digits = "0123456789abcdef";
    for (std::uint32_t i = 0; i < length; ++i) {
        auto b = static_cast<unsigned char>(bytes[i]);
        out << digits[b >> 4] << digits[b & 15];
    }
    return out.str();
}

// Shared by every object: release and the error message calls.
template <typename Base>
class Object : public Base {
public:
    explicit Object(std::string kind) : m_kind(std::move(kind)) { ++script().live[m_kind]; }
    virtual ~Object() = default;

    void release() override {
        enter(m_kind + ".release");
        --script().live[m_kind];
        delete this;
    }
    Status getErrorMessageLen(std::uint16_t* length) override {
        Status s = enter(m_kind + ".getErrorMessageLen");
        if (s != st::Ok) return s;
        *length = static_cast<std::uint16_t>(message().size());
        return st::Ok;
    }
    Status getErrorMessage(char* buffer) override {
        Status s = enter(m_kind + ".getErrorMessage");
        if (s != st::Ok) return s;
        const std::string& m = message();
        std::memcpy(buffer, m.data(), m.size());
        buffer[m.size()] = '\0';
        return st::Ok;
    }
    // The fake's failures come from no server: no codes. Not logged, so the
    // call sequences the tests expect stay those of the texts.
    Status getErrorCodes(sqldriver::ErrorCodes* codes) override {
        *codes = sqldriver::ErrorCodes{};
        return st::Ok;
    }

protected:
    const std::string& kindName() const { return m_kind; }

private:
    const std::string& message() { return script().messages[m_kind]; }
    std::string m_kind;
};

Status answerOption(const std::map<std::int32_t, std::string>& answers, std::int32_t option, void* buffer,
                    std::int32_t size, std::int32_t* resultLength) {
    auto it = answers.find(option);
    if (it == answers.end()) return st::NotSupported;
    std::size_t n = std::min<std::size_t>(it->second.size(), size < 0 ? 0 : static_cast<std::size_t>(size));
    if (n > 0) std::memcpy(buffer, it->second.data(), n);
    if (resultLength) *resultLength = static_cast<std::int32_t>(n);
    return st::Ok;
}

class FakeCursor final : public Object<sqldriver::ISQLCursor> {
public:
    explicit FakeCursor(ResultSet result) : Object("cursor"), m_result(std::move(result)) {}

    Status getColumnCount(std::uint16_t* count) override {
        Status s = enter("cursor.getColumnCount");
        if (s == st::Ok) *count = static_cast<std::uint16_t>(m_result.columns.size());
        return s;
    }
    Status getColumnName(std::uint16_t column, char* buffer) override {
        Status s = enter("cursor.getColumnName", std::to_string(column));
        if (s != st::Ok) return s;
        const Column* c = find(column);
        if (!c) return st::OutOfRange;
        std::string name = c->name.substr(0, sqldriver::kMaxColumnNameBytes);
        std::memcpy(buffer, name.c_str(), name.size() + 1);
        return st::Ok;
    }
    Status getColumnType(std::uint16_t column, std::uint16_t* kind, std::uint16_t* subkind) override {
        Status s = enter("cursor.getColumnType", std::to_string(column));
        if (s != st::Ok) return s;
        const Column* c = find(column);
        if (!c) return st::OutOfRange;
        *kind = c->kind;
        *subkind = c->subkind;
        return st::Ok;
    }
    Status getColumnLength(std::uint16_t column, std::uint32_t* length) override {
        return describe("cursor.getColumnLength", column, [&](const Column& c) { *length = c.length; });
    }
    Status getColumnPrecision(std::uint16_t column, std::int16_t* precision) override {
        return describe("cursor.getColumnPrecision", column,
                        [&](const Column& c) { *precision = c.precision; });
    }
    Status getColumnScale(std::uint16_t column, std::int16_t* scale) override {
        return describe("cursor.getColumnScale", column, [&](const Column& c) { *scale = c.scale; });
    }
    Status isNullable(std::uint16_t column, bool* nullable) override {
        return describe("cursor.isNullable", column, [&](const Column& c) { *nullable = c.nullable; });
    }
    Status isReadOnly(std::uint16_t column, bool* readOnly) override {
        return describe("cursor.isReadOnly", column, [&](const Column& c) { *readOnly = c.readOnly; });
    }
    Status next() override {
        Status s = enter("cursor.next");
        if (s != st::Ok) return s;
        if (m_row + 1 >= static_cast<long>(m_result.rows.size())) {
            m_row = static_cast<long>(m_result.rows.size());
            return m_result.endStatus;
        }
        ++m_row;
        return st::Ok;
    }
    Status getValue(std::uint16_t column, void* buffer, std::uint32_t size, bool* isNull) override {
        Status s = enter("cursor.getValue", std::to_string(column) + " " + std::to_string(size));
        if (s != st::Ok) return s;
        if (m_row < 0 || m_row >= static_cast<long>(m_result.rows.size())) return st::InvalidHandle;
        const auto& row = m_result.rows[static_cast<std::size_t>(m_row)];
        if (column < 1 || column > row.size()) return st::OutOfRange;
        const Value& v = row[column - 1];
        *isNull = v.isNull;
        if (v.isNull) return st::Ok;
        const Column* c = find(column);
        if (c && c->kind == sqldriver::kind::Text) {
            if (size == 0) return st::InvalidLength;
            std::size_t n = std::min<std::size_t>(v.bytes.size(), size - 1);
            std::memcpy(buffer, v.bytes.data(), n);
            static_cast<char*>(buffer)[n] = '\0';
        } else {
            std::memcpy(buffer, v.bytes.data(), std::min<std::size_t>(v.bytes.size(), size));
        }
        return st::Ok;
    }

private:
    const Column* find(std::uint16_t column) const {
        if (column < 1 || column > m_result.columns.size()) return nullptr;
        return &m_result.columns[column - 1];
    }
    template <typename F>
    Status describe(const char* call, std::uint16_t column, F&& set) {
        Status s = enter(call, std::to_string(column));
        if (s != st::Ok) return s;
        const Column* c = find(column);
        if (!c) return st::OutOfRange;
        set(*c);
        return st::Ok;
    }

    ResultSet m_result;
    long m_row = -1;
};

class FakeCommand final : public Object<sqldriver::ISQLCommand> {
public:
    FakeCommand() : Object("command") {}

    Status setOption(std::int32_t option, std::int32_t value) override {
        return enter("command.setOption", std::to_string(option) + " " + std::to_string(value));
    }
    Status prepare(const char* sql, std::uint16_t paramCount) override {
        Status s = enter("command.prepare", q(sql) + " " + std::to_string(paramCount));
        if (s == st::Ok) m_sql = sql ? sql : "";
        return s;
    }
    Status setParameter(std::uint16_t position, std::uint16_t childPosition, std::uint16_t direction,
                        std::uint16_t kind, std::uint16_t subkind, std::int32_t precision, std::int32_t scale,
                        std::uint32_t length, const void* value, bool isNull) override {
        std::ostringstream args;
        args << position << ' ' << childPosition << ' ' << direction << ' ' << kind << ' ' << subkind << ' '
             << precision << ' ' << scale << ' ' << length << ' ' << describeValue(kind, length, value)
             << " null=" << (isNull ? 1 : 0);
        return enter("command.setParameter", args.str());
    }
    Status execute(sqldriver::ISQLCursor** cursor) override {
        Status s = enter("command.execute");
        *cursor = nullptr;
        if (s != st::Ok) return s;
        Script& sc = script();
        auto it = sc.resultsBySql.find(m_sql);
        if (it != sc.resultsBySql.end()) {
            *cursor = new FakeCursor(it->second);
        } else if (!sc.resultQueue.empty()) {
            std::optional<ResultSet> next = std::move(sc.resultQueue.front());
            sc.resultQueue.pop_front();
            if (next) *cursor = new FakeCursor(std::move(*next));
        }
        return st::Ok;
    }
    Status getRowsAffected(std::int32_t* rows) override {
        Status s = enter("command.getRowsAffected");
        if (s == st::Ok) *rows = script().rowsAffected;
        return s;
    }
    Status close() override { return enter("command.close"); }

private:
    std::string m_sql;
};

// A batch that writes every line it is asked to; its calls fail as scripted.
class FakeBatch final : public Object<sqldriver::ISQLBatch> {
public:
    FakeBatch() : Object("batch") {}

    Status prepare(const sqldriver::BatchShape* shape) override {
        std::string statements;
        for (std::uint16_t i = 0; i < shape->statementCount; ++i) statements += " " + q(shape->statements[i]);
        return enter("batch.prepare",
                     std::string(shape->table) + statements + " " + std::to_string(shape->maxLines));
    }
    Status setValue(std::uint32_t line, std::uint16_t value, std::uint16_t kind, std::uint16_t,
                    std::uint32_t length, const void* data, bool isNull) override {
        return enter("batch.setValue", std::to_string(line) + " " + std::to_string(value) + " " +
                                           describeValue(kind, length, data) +
                                           " null=" + (isNull ? "1" : "0"));
    }
    Status execute(std::uint32_t lines, std::uint32_t* written, sqldriver::ErrorCodes* refused) override {
        *written = 0;
        *refused = sqldriver::ErrorCodes{};
        const Status s = enter("batch.execute", std::to_string(lines));
        if (s == st::Ok) *written = lines;
        return s;
    }
};

class FakeMetaData final : public Object<sqldriver::ISQLMetaData> {
public:
    FakeMetaData() : Object("metadata") {}

    Status setOption(std::int32_t option, const char* value) override {
        return enter("metadata.setOption", std::to_string(option) + " " + q(value));
    }
    Status getOption(std::int32_t option, void* buffer, std::int32_t size,
                     std::int32_t* resultLength) override {
        Status s = enter("metadata.getOption", std::to_string(option) + " " + std::to_string(size));
        if (s != st::Ok) return s;
        return answerOption(script().metaDataOptions, option, buffer, size, resultLength);
    }
};

class FakeConnection final : public Object<sqldriver::ISQLConnection> {
public:
    FakeConnection() : Object("connection") {}

    Status setIntOption(std::int32_t option, std::int32_t value) override {
        return enter("connection.setIntOption", std::to_string(option) + " " + std::to_string(value));
    }
    Status setTextOption(std::int32_t option, const char* value) override {
        return enter("connection.setTextOption", std::to_string(option) + " " + q(value));
    }
    Status getOption(std::int32_t option, void* buffer, std::int32_t size,
                     std::int32_t* resultLength) override {
        Status s = enter("connection.getOption", std::to_string(option) + " " + std::to_string(size));
        if (s != st::Ok) return s;
        return answerOption(script().connectionOptions, option, buffer, size, resultLength);
    }
    Status connect(const char* database, const char* userName, const char* password) override {
        return enter("connection.connect", q(database) + " " + q(userName) + " " + q(password));
    }
    Status disconnect() override { return enter("connection.disconnect"); }
    Status getSQLCommand(sqldriver::ISQLCommand** command) override {
        Status s = enter("connection.getSQLCommand");
        *command = s == st::Ok ? new FakeCommand : nullptr;
        return s;
    }
    Status getSQLBatch(sqldriver::ISQLBatch** batch) override {
        Status s = enter("connection.getSQLBatch");
        *batch = s == st::Ok ? new FakeBatch : nullptr;
        return s;
    }
    Status getSQLMetaData(sqldriver::ISQLMetaData** metaData) override {
        Status s = enter("connection.getSQLMetaData");
        *metaData = s == st::Ok ? new FakeMetaData : nullptr;
        return s;
    }
    Status beginTransaction() override { return enter("connection.beginTransaction"); }
    Status commit() override { return enter("connection.commit"); }
    Status rollback() override { return enter("connection.rollback"); }
    Status cancel(std::int32_t request) override {
        return enter("connection.cancel " + std::to_string(request));
    }
};

class FakeDriver final : public Object<sqldriver::ISQLDriver> {
public:
    FakeDriver() : Object("driver") {}

    Status getSQLConnection(sqldriver::ISQLConnection** connection) override {
        Status s = enter("driver.getSQLConnection");
        *connection = s == st::Ok ? new FakeConnection : nullptr;
        return s;
    }
};

}  // namespace

Value Value::int16(std::int16_t v) { return raw(&v, sizeof v); }
Value Value::int32(std::int32_t v) { return raw(&v, sizeof v); }
Value Value::int64(std::int64_t v) { return raw(&v, sizeof v); }
Value Value::dbl(double v) { return raw(&v, sizeof v); }
Value Value::bcd(const sqldriver::Bcd& v) { return raw(&v, sizeof v); }
Value Value::timestamp(const sqldriver::SqlTimestamp& v) { return raw(&v, sizeof v); }
Value Value::raw(const void* data, std::size_t size) {
    return Value{false, std::string(static_cast<const char*>(data), size)};
}

void reset() {
    Script& s = script();
    std::map<std::string, int> live = std::move(s.live);
    s = Script{};
    s.live = std::move(live);  // objects still alive keep being counted
    setDefaults(s);
}

std::vector<std::string> log() { return script().log; }
void clearLog() { script().log.clear(); }

std::vector<std::string> logOf(const std::string& call) {
    std::vector<std::string> out;
    for (const auto& line : script().log) {
        if (line.substr(0, line.find(' ')) == call) out.push_back(line);
    }
    return out;
}

void failNext(const std::string& call, Status status, int skip) {
    script().failures[call].push_back(Failure{status, skip, false});
}
void failAlways(const std::string& call, Status status) {
    auto& queue = script().failures[call];
    queue.clear();
    queue.push_back(Failure{status, 0, true});
}

void setErrorMessage(const std::string& object, const std::string& text) { script().messages[object] = text; }

void setConnectionOption(std::int32_t option, const std::string& bytes) {
    script().connectionOptions[option] = bytes;
}
void setConnectionOptionInt(std::int32_t option, std::int32_t value) {
    script().connectionOptions[option] = intBytes(value);
}
void setMetaDataOption(std::int32_t option, const std::string& bytes) {
    script().metaDataOptions[option] = bytes;
}
void setMetaDataOptionInt(std::int32_t option, std::int32_t value) {
    script().metaDataOptions[option] = intBytes(value);
}
void clearConnectionOption(std::int32_t option) { script().connectionOptions.erase(option); }
void clearMetaDataOption(std::int32_t option) { script().metaDataOptions.erase(option); }

void setResultFor(const std::string& sql, const ResultSet& result) { script().resultsBySql[sql] = result; }
void queueResult(const std::optional<ResultSet>& result) { script().resultQueue.push_back(result); }
void setRowsAffected(std::int32_t rows) { script().rowsAffected = rows; }

void setInterfaceVersion(std::uint32_t version) { script().interfaceVersion = version; }

int liveObjects() {
    int n = 0;
    for (const auto& [kind, count] : script().live) n += count;
    return n;
}
int liveObjects(const std::string& object) {
    auto it = script().live.find(object);
    return it == script().live.end() ? 0 : it->second;
}

std::string quote(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        switch (c) {
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\0':
                out += "\\0";
                break;
            default:
                if (c < 0x20 || c >= 0x7f) {
                    char buf[5];
                    std::snprintf(buf, sizeof buf, "\\x%02x", c);
                    out += buf;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out;
}

}  // namespace fakedriver

extern "C" {

__attribute__((visibility("default"))) sqldriver::Status GetFakeDriver(const char* vendorLib,
                                                                       const char* errorResourceFile,
                                                                       sqldriver::ISQLDriver** driver) {
    using namespace fakedriver;
    Status s = enter("entry", q(vendorLib) + " " + q(errorResourceFile));
    *driver = s == st::Ok ? new FakeDriver : nullptr;
    return s;
}

__attribute__((visibility("default"))) std::uint32_t SqlDriverInterfaceVersion() {
    return fakedriver::script().interfaceVersion;
}

__attribute__((visibility("default"))) sqldriver::Status SqlDriverShutdown(std::uint32_t timeoutMs) {
    return fakedriver::enter("shutdown", std::to_string(timeoutMs));
}
}
