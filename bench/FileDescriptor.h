// Owns one file descriptor (a socket, a pipe end, a signalfd) and closes it
// at destruction. Move-only.
#pragma once

#include <unistd.h>

#include <utility>

namespace bench {

class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int descriptor) noexcept : m_descriptor(descriptor) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(FileDescriptor&& other) noexcept : m_descriptor(std::exchange(other.m_descriptor, -1)) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        if (this != &other) {
            reset();
            m_descriptor = std::exchange(other.m_descriptor, -1);
        }
        return *this;
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const noexcept { return m_descriptor; }
    bool valid() const noexcept { return m_descriptor >= 0; }
    // Closes the descriptor now (a failed close is not reported: the
    // descriptor is gone either way).
    void reset() noexcept {
        if (m_descriptor >= 0) ::close(std::exchange(m_descriptor, -1));
    }

private:
    int m_descriptor = -1;
};

}  // namespace bench
