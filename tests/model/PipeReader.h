#pragma once

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <thread>
#include <unistd.h>

// Reads a named pipe to its end on another thread while a test, or a
// program it runs, writes. The read end is open before the write starts;
// once the writer has returned, a pipe that no writer ever opened (because
// it was replaced, say) ends the reading.
class PipeReader {
public:
    explicit PipeReader(const std::string& path)
        : m_fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK)), m_thread([this] { Read(); })
    {
    }
    ~PipeReader()
    {
        if (m_thread.joinable())
            Bytes();
    }
    // Call when the writer has returned.
    std::string Bytes()
    {
        m_writerEnded = true;
        m_thread.join();
        return m_bytes;
    }

private:
    void Read()
    {
        while (m_fd >= 0) {
            pollfd poll{m_fd, POLLIN, 0};
            const int ready = ::poll(&poll, 1, 100);
            if (ready == 0) {
                if (m_writerEnded)
                    break;
                continue;
            }
            char chunk[4096];
            const ssize_t n = ::read(m_fd, chunk, sizeof chunk);
            if (n > 0)
                m_bytes.append(chunk, static_cast<size_t>(n));
            else if (n == 0 || errno != EAGAIN)
                break;
        }
        if (m_fd >= 0)
            ::close(m_fd);
    }

    int m_fd;
    std::atomic<bool> m_writerEnded{false};
    std::string m_bytes;
    std::thread m_thread;
};
