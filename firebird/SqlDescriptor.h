// Owner of one XSQLDA (the client library's column or parameter area): its
// memory, the value buffer and null indicator of every entry, and the types
// the server described, kept apart from the types a value is bound as.
#pragma once

#include <ibase.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace tarvel::fb {

// A type as the server described it (null flag bit removed).
struct DescribedType {
    short type = 0;
    short subType = 0;
    short scale = 0;
    short length = 0;
    bool nullable = false;
};

class SqlDescriptor {
public:
    explicit SqlDescriptor(int capacity = 1);
    SqlDescriptor(const SqlDescriptor&) = delete;
    SqlDescriptor& operator=(const SqlDescriptor&) = delete;

    XSQLDA* area() { return m_area.get(); }
    int capacity() const { return m_area->sqln; }
    // Entries the server described (may exceed capacity until grown).
    int describedCount() const { return m_area->sqld; }
    // Makes room for `count` entries; the previous contents are lost.
    void reserve(int count);

    // After a describe: records each entry's type and gives it a buffer and a
    // null indicator of the described type.
    void bindDescribedBuffers();

    int count() const { return static_cast<int>(m_described.size()); }
    XSQLVAR& entry(int index) { return m_area->sqlvar[index]; }
    const DescribedType& described(int index) const { return m_described[index]; }

    // Sets entry `index` to carry a value of `type` in `bytes` bytes; returns the
    // buffer to fill. The null indicator is cleared.
    char* retype(int index, short type, short scale, short length, std::size_t bytes);
    // Marks entry `index` null, keeping its described type.
    void setNull(int index);
    // True when entry `index` holds a value (bound or fetched).
    bool isNull(int index) const;

private:
    struct FreeArea {
        void operator()(XSQLDA* area) const;
    };

    std::unique_ptr<XSQLDA, FreeArea> m_area;
    std::vector<DescribedType> m_described;
    std::vector<std::vector<char>> m_buffers;
    std::vector<short> m_indicators;
};

// Bytes a value of the described type takes in the area.
std::size_t storageBytes(short type, short length);

}  // namespace tarvel::fb
