// An I/O handler without a socket for connection tests on bytes alone: it hands out the
// scripted blocks one receive at a time, then reports the end of the stream (or a time-out),
// and records everything sent.
#pragma once

#include "net/IdIOHandler.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <string>

class ScriptedIOHandler : public TIdIOHandler {
public:
    // After the last block: the peer closes (receive 0) or, when false, nothing more arrives
    // (every wait times out).
    bool CloseAtEnd = true;
    std::string Sent;
    int Receives = 0;

    void AddBlock(std::string block) { m_blocks.push_back(std::move(block)); }

    bool WaitReadable(int) override { return !m_blocks.empty() || CloseAtEnd; }

    std::int64_t ReceiveBytes(void* buffer, std::int64_t length) override
    {
        ++Receives;
        if (m_blocks.empty())
            return 0;
        std::string& block = m_blocks.front();
        const std::size_t n = std::min<std::size_t>(block.size(), static_cast<std::size_t>(length));
        std::memcpy(buffer, block.data(), n);
        block.erase(0, n);
        if (block.empty())
            m_blocks.pop_front();
        return static_cast<std::int64_t>(n);
    }

    std::int64_t SendBytes(const void* buffer, std::int64_t length) override
    {
        Sent.append(static_cast<const char*>(buffer), static_cast<std::size_t>(length));
        return length;
    }

private:
    std::deque<std::string> m_blocks;
};
