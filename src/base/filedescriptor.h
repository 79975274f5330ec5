#pragma once

#include <unistd.h>

namespace kelvora {

// A POSIX file descriptor closed on every path.
class FileDescriptor
{
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() { close(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }
    // Closes the descriptor; false when closing reports an error.
    bool close()
    {
        if (fd_ < 0)
            return true;
        const int result = ::close(fd_);
        fd_ = -1;
        return result == 0;
    }

private:
    int fd_ = -1;
};

} // namespace kelvora
