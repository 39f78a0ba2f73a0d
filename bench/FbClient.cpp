#include "FbClient.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace bench {

namespace {

// The client's own status vector type, one per call.
struct Status {
    ISC_STATUS vector[ISC_STATUS_LENGTH] = {};
    ISC_STATUS* get() { return vector; }
};

void appendText(std::string* block, char tag, const std::string& value) {
    block->push_back(tag);
    block->push_back(static_cast<char>(value.size()));
    block->append(value);
}

void appendNumber(std::string* block, char tag, std::uint32_t value) {
    block->push_back(tag);
    block->push_back(4);
    for (int i = 0; i < 4; ++i) block->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// One number out of an information reply: the item, a two-byte length, the value.
std::int64_t infoNumber(isc_db_handle* database, char item) {
    Status status;
    char items[] = {item, isc_info_end};
    char reply[64] = {};
    isc_database_info(status.get(), database, sizeof items, items, sizeof reply, reply);
    checkStatus(status.get(), "database information");
    if (reply[0] != item) throw std::runtime_error("database information: unexpected reply");
    const short length = static_cast<short>(isc_vax_integer(reply + 1, 2));
    return isc_portable_integer(reinterpret_cast<const ISC_UCHAR*>(reply + 3), length);
}

bool isNumberType(short type) {
    switch (type) {
        case SQL_SHORT:
        case SQL_LONG:
        case SQL_INT64:
        case SQL_FLOAT:
        case SQL_DOUBLE:
        case SQL_D_FLOAT:
            return true;
        default:
            return false;
    }
}

// Room for a date or timestamp written as text.
constexpr short kMinimumTextLength = 32;

}  // namespace

void checkStatus(const ISC_STATUS* status, const std::string& what) {
    if (status[0] != 1 || status[1] == 0) return;
    std::string message = what + ":";
    const ISC_STATUS* cursor = status;
    char line[1024];
    while (fb_interpret(line, sizeof line, &cursor) > 0) message += std::string(" ") + line;
    throw std::runtime_error(message);
}

bool Dsn::embedded() const {
    // "host:/path" names a server; a plain absolute path is opened in process.
    return database.empty() || database[0] == '/';
}

Attachment::Attachment(const Dsn& dsn, std::optional<bool> forcedWrites, const std::string& configuration) {
    std::string dpb(1, static_cast<char>(isc_dpb_version1));
    appendText(&dpb, isc_dpb_user_name, dsn.user);
    appendText(&dpb, isc_dpb_password, dsn.password);
    appendText(&dpb, isc_dpb_lc_ctype, "NONE");
    appendNumber(&dpb, isc_dpb_sql_dialect, 3);
    // Without this a running server could quietly serve a plain path.
    if (dsn.embedded()) appendText(&dpb, isc_dpb_config, "Providers=Engine12");
    if (!dsn.embedded() && !configuration.empty()) appendText(&dpb, isc_dpb_config, configuration);
    if (forcedWrites) appendNumber(&dpb, isc_dpb_force_write, *forcedWrites ? 1 : 0);
    Status status;
    isc_attach_database(status.get(), 0, dsn.database.c_str(), &m_handle, static_cast<short>(dpb.size()),
                        dpb.data());
    checkStatus(status.get(), "attach " + dsn.database);
}

Attachment::~Attachment() {
    Status status;
    if (m_handle) isc_detach_database(status.get(), &m_handle);
}

bool Attachment::forcedWrites() { return infoNumber(&m_handle, isc_info_forced_writes) != 0; }

std::int64_t Attachment::attachmentId() { return infoNumber(&m_handle, isc_info_attachment_id); }

Transaction::Transaction(Attachment& attachment, Kind kind) : m_attachment(attachment) {
    const char tpb[] = {isc_tpb_version3,
                        static_cast<char>(kind == Kind::ReadOnly ? isc_tpb_read : isc_tpb_write),
                        isc_tpb_read_committed, isc_tpb_rec_version, isc_tpb_wait};
    Status status;
    isc_start_transaction(status.get(), &m_handle, 1, attachment.handle(),
                          static_cast<unsigned short>(sizeof tpb), tpb);
    checkStatus(status.get(), "start transaction");
}

Transaction::~Transaction() {
    Status status;
    if (m_handle) isc_rollback_transaction(status.get(), &m_handle);
}

void Transaction::commit() {
    Status status;
    isc_commit_transaction(status.get(), &m_handle);
    checkStatus(status.get(), "commit");
}

void Transaction::rollback() {
    Status status;
    isc_rollback_transaction(status.get(), &m_handle);
    checkStatus(status.get(), "rollback");
}

void Transaction::executeImmediate(const std::string& sql) {
    Status status;
    isc_dsql_execute_immediate(status.get(), m_attachment.handle(), &m_handle, 0, sql.c_str(), SQL_DIALECT_V6,
                               nullptr);
    checkStatus(status.get(), "execute");
}

Statement::Sqlda::Sqlda(int count) : bytes(XSQLDA_LENGTH(std::max(count, 1)), '\0') {
    get()->version = SQLDA_VERSION1;
    get()->sqln = static_cast<ISC_SHORT>(std::max(count, 1));
}

Statement::Statement(Attachment& attachment, Transaction& transaction, const std::string& sql) {
    Status status;
    isc_dsql_allocate_statement(status.get(), attachment.handle(), &m_handle);
    checkStatus(status.get(), "allocate statement");
    m_output = std::make_unique<Sqlda>(8);
    isc_dsql_prepare(status.get(), transaction.handle(), &m_handle, 0, sql.c_str(), SQL_DIALECT_V6,
                     m_output->get());
    checkStatus(status.get(), "prepare");
    if (m_output->get()->sqld > m_output->get()->sqln) {
        m_output = std::make_unique<Sqlda>(m_output->get()->sqld);
        isc_dsql_describe(status.get(), &m_handle, SQLDA_VERSION1, m_output->get());
        checkStatus(status.get(), "describe");
    }
    m_input = std::make_unique<Sqlda>(8);
    isc_dsql_describe_bind(status.get(), &m_handle, SQLDA_VERSION1, m_input->get());
    checkStatus(status.get(), "describe parameters");
    if (m_input->get()->sqld > m_input->get()->sqln) {
        m_input = std::make_unique<Sqlda>(m_input->get()->sqld);
        isc_dsql_describe_bind(status.get(), &m_handle, SQLDA_VERSION1, m_input->get());
        checkStatus(status.get(), "describe parameters");
    }
    bindBuffers(m_input->get(), m_inputSlots);
    bindBuffers(m_output->get(), m_outputSlots);
}

Statement::~Statement() {
    Status status;
    if (m_handle) isc_dsql_free_statement(status.get(), &m_handle, DSQL_drop);
}

void Statement::bindBuffers(XSQLDA* area, std::vector<Slot>& slots) {
    slots.resize(static_cast<std::size_t>(area->sqld));
    for (int i = 0; i < area->sqld; ++i) {
        XSQLVAR& var = area->sqlvar[i];
        Slot& slot = slots[static_cast<std::size_t>(i)];
        const short type = static_cast<short>(var.sqltype & ~1);
        if (type == SQL_BLOB || type == SQL_ARRAY)
            throw std::runtime_error("blob and array values are not handled");
        if (isNumberType(type)) {
            var.sqltype = SQL_DOUBLE | 1;
            var.sqlscale = 0;
            var.sqllen = sizeof(double);
            slot.data.assign(sizeof(double), '\0');
        } else {
            var.sqltype = SQL_VARYING | 1;
            var.sqllen = std::max<ISC_SHORT>(var.sqllen, kMinimumTextLength);
            slot.data.assign(sizeof(ISC_USHORT) + static_cast<std::size_t>(var.sqllen), '\0');
        }
        var.sqldata = slot.data.data();
        var.sqlind = &slot.indicator;
    }
}

int Statement::parameterCount() const { return m_input->get()->sqld; }

int Statement::columnCount() const { return m_output->get()->sqld; }

XSQLVAR& Statement::parameter(int index) {
    if (index < 0 || index >= parameterCount()) throw std::out_of_range("parameter " + std::to_string(index));
    return m_input->get()->sqlvar[index];
}

void Statement::setText(int index, const std::string& text) {
    XSQLVAR& var = parameter(index);
    Slot& slot = m_inputSlots[static_cast<std::size_t>(index)];
    if ((var.sqltype & ~1) != SQL_VARYING)
        throw std::logic_error("parameter " + std::to_string(index) + " is a number");
    // A longer text goes as it is; the server refuses it as it would from the program.
    if (text.size() > static_cast<std::size_t>(var.sqllen)) {
        slot.data.assign(sizeof(ISC_USHORT) + text.size(), '\0');
        var.sqllen = static_cast<ISC_SHORT>(text.size());
        var.sqldata = slot.data.data();
    }
    const auto length = static_cast<ISC_USHORT>(text.size());
    std::memcpy(slot.data.data(), &length, sizeof length);
    std::memcpy(slot.data.data() + sizeof length, text.data(), text.size());
    slot.indicator = 0;
}

void Statement::setDouble(int index, double value) {
    XSQLVAR& var = parameter(index);
    if ((var.sqltype & ~1) != SQL_DOUBLE)
        throw std::logic_error("parameter " + std::to_string(index) + " is a text");
    std::memcpy(m_inputSlots[static_cast<std::size_t>(index)].data.data(), &value, sizeof value);
    m_inputSlots[static_cast<std::size_t>(index)].indicator = 0;
}

void Statement::setNull(int index) {
    parameter(index);
    m_inputSlots[static_cast<std::size_t>(index)].indicator = -1;
}

void Statement::execute(Transaction& transaction) {
    Status status;
    isc_dsql_execute(status.get(), transaction.handle(), &m_handle, SQLDA_VERSION1,
                     parameterCount() > 0 ? m_input->get() : nullptr);
    checkStatus(status.get(), "execute");
    m_cursorOpen = columnCount() > 0;
}

bool Statement::fetch() {
    Status status;
    const ISC_STATUS result = isc_dsql_fetch(status.get(), &m_handle, SQLDA_VERSION1, m_output->get());
    if (result == 100) return false;
    checkStatus(status.get(), "fetch");
    return true;
}

void Statement::closeCursor() {
    if (!m_cursorOpen) return;
    m_cursorOpen = false;
    Status status;
    isc_dsql_free_statement(status.get(), &m_handle, DSQL_close);
    checkStatus(status.get(), "close cursor");
}

bool Statement::isNull(int column) const {
    return m_outputSlots.at(static_cast<std::size_t>(column)).indicator < 0;
}

std::string Statement::text(int column) const {
    if (isNull(column)) return std::string();
    const XSQLVAR& var = m_output->get()->sqlvar[column];
    const std::vector<char>& data = m_outputSlots[static_cast<std::size_t>(column)].data;
    if ((var.sqltype & ~1) == SQL_DOUBLE) {
        double value;
        std::memcpy(&value, data.data(), sizeof value);
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.4f", value);
        return buffer;
    }
    ISC_USHORT length;
    std::memcpy(&length, data.data(), sizeof length);
    return std::string(data.data() + sizeof length, length);
}

double Statement::number(int column) const {
    if (isNull(column)) return 0.0;
    const XSQLVAR& var = m_output->get()->sqlvar[column];
    if ((var.sqltype & ~1) != SQL_DOUBLE)
        throw std::logic_error("column " + std::to_string(column) + " is a text");
    double value;
    std::memcpy(&value, m_outputSlots[static_cast<std::size_t>(column)].data.data(), sizeof value);
    return value;
}

}  // namespace bench
