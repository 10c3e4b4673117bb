// Throughput of the connection's stream operations over loopback: ReadIntoStream into a
// discarding sink and into a local file, and SendStream from memory, with the window's chunk
// sizes (8192 in, 4096 out) and the class defaults, beside a plain recv/write loop as the
// baseline. Run on demand: build-x/bench/bench_connection_stream [MiB]
#include "ftp/IdStream.h"
#include "ftp/IdTCPClient.h"
#include "net/IdAntiFreeze.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <netinet/in.h>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// A stream that only counts what is written and hands out zeros when read.
class CountingStream : public TIdStream {
public:
    explicit CountingStream(std::int64_t size = 0) : m_size(size) {}
    std::int64_t Read(void*, std::int64_t count) override
    {
        const std::int64_t n = std::min(count, m_size - m_position);
        m_position += n;
        return n;
    }
    void Write(const void*, std::int64_t count) override
    {
        m_position += count;
        m_size = std::max(m_size, m_position);
    }
    std::int64_t Position() const override { return m_position; }
    void Seek(std::int64_t position) override { m_position = position; }
    std::int64_t Size() const override { return m_size; }
    void SetSize(std::int64_t size) override { m_size = size; }

private:
    std::int64_t m_size;
    std::int64_t m_position = 0;
};

struct Partner {
    int listenFd = -1;
    int port = 0;
    std::thread thread;

    // writes: sends `total` bytes then closes; otherwise reads until the client closes.
    Partner(bool writes, std::int64_t total)
    {
        listenFd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(listenFd, 1);
        ::getsockname(listenFd, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
        thread = std::thread([this, writes, total] {
            const int fd = ::accept(listenFd, nullptr, nullptr);
            std::vector<char> block(1 << 16, 'x');
            for (std::int64_t done = 0; !writes || done < total;) {
                const std::size_t want = writes ? std::min<std::int64_t>(block.size(), total - done) : block.size();
                const ssize_t n = writes ? ::send(fd, block.data(), want, MSG_NOSIGNAL)
                                         : ::recv(fd, block.data(), block.size(), 0);
                if (n <= 0)
                    break;
                done += n;
            }
            ::close(fd);
        });
    }
    ~Partner()
    {
        thread.join();
        ::close(listenFd);
    }
};

double rate(std::int64_t bytes, Clock::duration elapsed)
{
    return static_cast<double>(bytes) / (1024.0 * 1024.0) / std::chrono::duration<double>(elapsed).count();
}

double download(std::int64_t total, int recvBufferSize, TIdStream& sink)
{
    Partner partner(true, total);
    TIdTCPClient client;
    client.Host = "127.0.0.1";
    client.Port = partner.port;
    client.RecvBufferSize = recvBufferSize;
    client.OpenConnection();
    const auto start = Clock::now();
    client.ReadIntoStream(sink, -1, true);
    const auto elapsed = Clock::now() - start;
    if (sink.Position() != total)
        std::printf("  short read: %lld\n", static_cast<long long>(sink.Position()));
    return rate(total, elapsed);
}

double upload(std::int64_t total, int sendBufferSize)
{
    Partner partner(false, total);
    TIdTCPClient client;
    client.Host = "127.0.0.1";
    client.Port = partner.port;
    client.SendBufferSize = sendBufferSize;
    client.OpenConnection();
    CountingStream source(total);
    const auto start = Clock::now();
    client.SendStream(source);
    client.CloseConnection();
    return rate(total, Clock::now() - start);
}

// What a plain client does: recv into a buffer and write it to the file.
double baselineDownload(std::int64_t total, const std::string& path)
{
    Partner partner(true, total);
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(partner.port));
    ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    const int out = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char> buffer(16384);
    const auto start = Clock::now();
    for (;;) {
        const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
        if (n <= 0)
            break;
        if (::write(out, buffer.data(), static_cast<std::size_t>(n)) != n)
            break;
    }
    const auto elapsed = Clock::now() - start;
    ::close(out);
    ::close(fd);
    ::unlink(path.c_str());
    return rate(total, elapsed);
}

double fileDownload(std::int64_t total, int recvBufferSize, const std::string& path)
{
    double result;
    {
        TIdFileStream file(path, TIdFileStream::Mode::Create);
        result = download(total, recvBufferSize, file);
        file.Close();
    }
    ::unlink(path.c_str());
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    const std::int64_t total = (argc > 1 ? std::atoll(argv[1]) : 1024) * 1024 * 1024 / 1024;
    const std::int64_t bytes = total * 1024;
    TIdAntiFreeze pump; // as the window runs it: pumps between waits, cheap hook
    pump.IdleTimeOut = 50;
    pump.OnlyWhenIdle = false;
    int pumps = 0;
    pump.OnPumpMessages = [&](bool) { ++pumps; };
    const std::string path = "/tmp/tarn-bench-connection-" + std::to_string(::getpid());

    std::printf("bytes per run: %lld\n", static_cast<long long>(bytes));
    CountingStream sink8k, sink32k;
    std::printf("download to sink, recv 8192:   %8.0f MiB/s\n", download(bytes, 8192, sink8k));
    std::printf("download to sink, recv 32768:  %8.0f MiB/s\n", download(bytes, 32768, sink32k));
    std::printf("download to file, recv 8192:   %8.0f MiB/s\n", fileDownload(bytes, 8192, path));
    std::printf("download to file, recv 32768:  %8.0f MiB/s\n", fileDownload(bytes, 32768, path));
    std::printf("baseline recv/write to file:   %8.0f MiB/s\n", baselineDownload(bytes, path));
    std::printf("upload from memory, send 4096: %8.0f MiB/s\n", upload(bytes, 4096));
    std::printf("upload from memory, send 32768:%8.0f MiB/s\n", upload(bytes, 32768));
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("pump calls: %d, peak resident: %ld MiB\n", pumps, usage.ru_maxrss / 1024);
    return 0;
}
