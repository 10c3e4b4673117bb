// Byte buffers of the connection: a growable block with a read/write position
// (TIdSimpleBuffer) and the input queue that consumes from the front without moving memory
// on every read (TIdManagedBuffer).
#pragma once

#include "ftp/IdStream.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class TIdSimpleBuffer : public TIdStream {
public:
    // Called after bytes were removed from the front, with their number.
    using TIdBufferRemoveEvent = std::function<void(TIdSimpleBuffer& buffer, std::int64_t count)>;

    TIdSimpleBuffer() = default;
    ~TIdSimpleBuffer() override = default;
    TIdSimpleBuffer(const TIdSimpleBuffer&) = delete;
    TIdSimpleBuffer& operator=(const TIdSimpleBuffer&) = delete;

    // Size, position and Memory() count from the first byte still held.
    std::int64_t Size() const override { return m_end - m_start; }
    std::int64_t Position() const override { return m_position; }
    void Seek(std::int64_t position) override { m_position = position; }
    void SetSize(std::int64_t size) override;
    char* Memory() { return m_data.get() + m_start; }
    const char* Memory() const { return m_data.get() + m_start; }
    std::int64_t Read(void* buffer, std::int64_t count) override;
    void Write(const void* data, std::int64_t count) override;

    // Adds bytes at the end, whatever the position.
    void Append(const void* data, std::int64_t count);
    // Room for `count` more bytes at the end; CommitAppend then keeps the first `used` of them.
    char* PrepareAppend(std::int64_t count);
    void CommitAppend(std::int64_t used) { m_end += used; }

    // The first `count` bytes as a string, removed from the buffer.
    std::string Extract(std::int64_t count);
    // Drops the first `count` bytes and reports them to OnRemove.
    virtual void Remove(std::int64_t count);
    // Empties the buffer without reporting anything.
    virtual void Clear();

    TIdBufferRemoveEvent OnRemove;

protected:
    void checkHeld(std::int64_t count) const;
    void reserve(std::int64_t capacity);
    void moveToFront();
    void fireRemove(std::int64_t count);

    std::unique_ptr<char[]> m_data;
    std::int64_t m_capacity = 0;
    std::int64_t m_start = 0; // first byte held (only TIdManagedBuffer moves it)
    std::int64_t m_end = 0;
    std::int64_t m_position = 0;
};

class TIdManagedBuffer : public TIdSimpleBuffer {
public:
    // Consumed bytes are only skipped until this many have gathered at the front.
    static constexpr std::int64_t kCompactThreshold = 32768;

    void Remove(std::int64_t count) override;
    void Clear() override;
};
