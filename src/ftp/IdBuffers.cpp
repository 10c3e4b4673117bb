// Byte buffers of the connection.
#include "ftp/IdBuffers.h"

#include "net/IdException.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr const char* kNotEnoughData = "Not enough data in buffer.";
}

void TIdSimpleBuffer::checkHeld(std::int64_t count) const
{
    if (count > Size())
        throw EIdNotEnoughDataInBuffer(kNotEnoughData);
}

void TIdSimpleBuffer::reserve(std::int64_t capacity)
{
    if (capacity <= m_capacity)
        return;
    const std::int64_t grown = std::max(capacity, m_capacity + m_capacity / 2);
    // Not cleared: every byte is written before it is read, and clearing a large receive
    // buffer would cost more than a small file's whole transfer.
    auto data = std::make_unique_for_overwrite<char[]>(static_cast<std::size_t>(grown));
    if (m_end > m_start)
        std::memcpy(data.get(), m_data.get() + m_start, static_cast<std::size_t>(m_end - m_start));
    m_end -= m_start;
    m_start = 0;
    m_data = std::move(data);
    m_capacity = grown;
}

void TIdSimpleBuffer::moveToFront()
{
    if (m_start == 0)
        return;
    std::memmove(m_data.get(), m_data.get() + m_start, static_cast<std::size_t>(m_end - m_start));
    m_end -= m_start;
    m_start = 0;
}

void TIdSimpleBuffer::SetSize(std::int64_t size)
{
    reserve(m_start + size);
    m_end = m_start + size;
}

std::int64_t TIdSimpleBuffer::Read(void* buffer, std::int64_t count)
{
    const std::int64_t n = std::min(count, Size() - m_position);
    if (n <= 0)
        return 0;
    std::memcpy(buffer, Memory() + m_position, static_cast<std::size_t>(n));
    m_position += n;
    return n;
}

void TIdSimpleBuffer::Write(const void* data, std::int64_t count)
{
    if (count <= 0)
        return;
    if (m_position + count > Size())
        SetSize(m_position + count);
    std::memcpy(Memory() + m_position, data, static_cast<std::size_t>(count));
    m_position += count;
}

void TIdSimpleBuffer::Append(const void* data, std::int64_t count)
{
    if (count <= 0)
        return;
    std::memcpy(PrepareAppend(count), data, static_cast<std::size_t>(count));
    CommitAppend(count);
}

char* TIdSimpleBuffer::PrepareAppend(std::int64_t count)
{
    if (m_end + count > m_capacity && m_start > 0 && m_end - m_start + count <= m_capacity)
        moveToFront();
    reserve(m_end + count);
    return m_data.get() + m_end;
}

std::string TIdSimpleBuffer::Extract(std::int64_t count)
{
    checkHeld(count);
    std::string bytes(Memory(), static_cast<std::size_t>(std::max<std::int64_t>(count, 0)));
    Remove(count);
    return bytes;
}

void TIdSimpleBuffer::Remove(std::int64_t count)
{
    checkHeld(count);
    if (count == Size()) {
        m_start = m_end = 0;
    } else {
        m_start += count;
        moveToFront();
    }
    m_position = std::max<std::int64_t>(0, m_position - count);
    fireRemove(count);
}

void TIdSimpleBuffer::Clear()
{
    m_start = m_end = m_position = 0;
}

void TIdSimpleBuffer::fireRemove(std::int64_t count)
{
    if (OnRemove)
        OnRemove(*this, count);
}

void TIdManagedBuffer::Remove(std::int64_t count)
{
    checkHeld(count);
    if (count == Size()) {
        m_start = m_end = 0;
    } else {
        m_start += count;
        if (m_start >= kCompactThreshold)
            moveToFront();
    }
    m_position = std::max<std::int64_t>(0, m_position - count);
    fireRemove(count);
}

void TIdManagedBuffer::Clear()
{
    TIdSimpleBuffer::Clear();
}
