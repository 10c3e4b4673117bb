// Byte streams of the connection classes: a small interface with 64-bit size and position,
// an in-memory stream and a buffered local-file stream.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "net/IdException.h"

// A local file that could not be opened, read or written. It keeps the system's error number
// so a caller can tell a full disk from a missing permission; the failure log still names it
// EIdException, as before the number was kept.
class EIdFileError : public EIdException {
public:
    EIdFileError(const std::string& message, int systemError)
        : EIdException(message), m_systemError(systemError) {}
    int SystemError() const { return m_systemError; }

private:
    int m_systemError;
};

class TIdStream {
public:
    virtual ~TIdStream() = default;
    // Reads up to `count` bytes at the position and advances it; 0 at the end.
    virtual std::int64_t Read(void* buffer, std::int64_t count) = 0;
    // Writes all `count` bytes at the position (growing the stream) and advances it.
    virtual void Write(const void* data, std::int64_t count) = 0;
    virtual std::int64_t Position() const = 0;
    virtual void Seek(std::int64_t position) = 0;
    virtual std::int64_t Size() const = 0;
    // Grows or truncates; the position is kept.
    virtual void SetSize(std::int64_t size) = 0;
};

class TIdMemoryStream : public TIdStream {
public:
    TIdMemoryStream() = default;
    explicit TIdMemoryStream(std::string bytes) : m_data(std::move(bytes)) {}

    std::int64_t Read(void* buffer, std::int64_t count) override;
    void Write(const void* data, std::int64_t count) override;
    std::int64_t Position() const override { return m_position; }
    void Seek(std::int64_t position) override { m_position = position; }
    std::int64_t Size() const override { return static_cast<std::int64_t>(m_data.size()); }
    void SetSize(std::int64_t size) override { m_data.resize(static_cast<std::size_t>(size)); }

    const std::string& DataString() const { return m_data; }

private:
    std::string m_data;
    std::int64_t m_position = 0;
};

// A local file, read ahead and written behind in blocks so that small transfer chunks do not
// each cost a system call. Errors raise EIdFileError with the file name and the system's text.
class TIdFileStream : public TIdStream {
public:
    enum class Mode {
        OpenRead,      // existing file, read only
        Create,        // created or emptied, read and write
        OpenReadWrite, // existing file kept as it is, read and write
        // Created or emptied only by the first write (or Open): a download the server
        // refuses leaves an existing file as it was and creates no new one.
        CreateOnWrite
    };
    static constexpr std::int64_t kBlockSize = 256 * 1024;

    TIdFileStream(const std::string& path, Mode mode);
    // Writes what is still buffered; errors are lost here, so call Close() to see them.
    ~TIdFileStream() override;
    TIdFileStream(const TIdFileStream&) = delete;
    TIdFileStream& operator=(const TIdFileStream&) = delete;

    std::int64_t Read(void* buffer, std::int64_t count) override;
    void Write(const void* data, std::int64_t count) override;
    std::int64_t Position() const override { return m_position; }
    void Seek(std::int64_t position) override { m_position = position; }
    std::int64_t Size() const override { return m_size; }
    void SetSize(std::int64_t size) override;

    // Opens a CreateOnWrite file now (creating or emptying it); nothing for an open one.
    void Open();
    // Writes the buffered bytes to the file.
    void Flush();
    // Flushes and closes the file, raising when either fails; later calls do nothing.
    void Close();
    const std::string& Path() const { return m_path; }

private:
    void openFile(Mode mode);
    void openIfDeferred();
    void writeAt(std::int64_t offset, const char* data, std::int64_t count);
    std::int64_t readAt(std::int64_t offset, char* buffer, std::int64_t count);
    void requireOpen() const;
    [[noreturn]] void fail(const char* what) const;

    std::string m_path;
    int m_fd = -1;
    // A CreateOnWrite file not opened yet.
    bool m_deferred = false;
    std::int64_t m_position = 0;
    std::int64_t m_size = 0;
    std::unique_ptr<char[]> m_block;
    // Either written bytes not yet in the file, starting at m_blockStart...
    std::int64_t m_dirty = 0;
    // ...or bytes read ahead from m_blockStart on.
    std::int64_t m_readAhead = 0;
    std::int64_t m_blockStart = 0;
};
