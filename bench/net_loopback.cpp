// Throughput of the transport alone over loopback, with the pump installed as the window does:
// receiving in 8 KiB blocks (wait then receive, and receive-first) and sending in 4 KiB blocks.
// Prints MiB/s and how often the pump ran; run on demand (build-x/bench/bench_net_loopback).
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "net/IdAntiFreeze.h"
#include "net/IdIOHandlerSocket.h"
#include "net/IdSocketHandle.h"
#include "net/IdStack.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::int64_t kTotal = 1LL << 30;

struct Listener {
    Listener()
    {
        handle.AllocateHandle(SOCK_STREAM);
        handle.IP = "127.0.0.1";
        handle.BindLocal();
        handle.StartListen(1);
    }
    TIdSocketHandle handle;
};

// The far side: writes (or reads) kTotal bytes on an accepted connection.
void partner(TIdStackSocketHandle listener, bool writes)
{
    const int fd = ::accept(listener, nullptr, nullptr);
    std::vector<char> block(1 << 16, 'x');
    for (std::int64_t done = 0; done < kTotal;) {
        const ssize_t n = writes ? ::send(fd, block.data(), block.size(), MSG_NOSIGNAL)
                                 : ::recv(fd, block.data(), block.size(), 0);
        if (n <= 0)
            break;
        done += n;
    }
    ::close(fd);
}

double mibPerSecond(Clock::duration elapsed)
{
    return double(kTotal) / (1 << 20) / std::chrono::duration<double>(elapsed).count();
}

double receiveRun(bool receiveFirst)
{
    Listener listener;
    std::thread far(partner, listener.handle.Handle(), true);
    TIdIOHandlerSocket handler;
    handler.OpenTransport();
    handler.ConnectTo("127.0.0.1", listener.handle.Port);
    std::vector<char> buffer(8192);
    const auto start = Clock::now();
    for (std::int64_t done = 0; done < kTotal;) {
        std::int64_t n = receiveFirst ? handler.ReceiveBytesNow(buffer.data(), 8192) : -1;
        if (n < 0) {
            handler.WaitReadable(-2);
            n = handler.ReceiveBytes(buffer.data(), 8192);
        }
        if (n <= 0)
            break;
        done += n;
    }
    const auto elapsed = Clock::now() - start;
    far.join();
    return mibPerSecond(elapsed);
}

double sendRun()
{
    Listener listener;
    std::thread far(partner, listener.handle.Handle(), false);
    TIdIOHandlerSocket handler;
    handler.OpenTransport();
    handler.ConnectTo("127.0.0.1", listener.handle.Port);
    std::vector<char> buffer(4096, 'y');
    const auto start = Clock::now();
    for (std::int64_t done = 0; done < kTotal;) {
        const std::int64_t n = handler.SendBytes(buffer.data(), 4096);
        TIdAntiFreezeBase::PumpIfDue(false);
        if (n <= 0)
            break;
        done += n;
    }
    handler.CloseTransport();
    const auto elapsed = Clock::now() - start;
    far.join();
    return mibPerSecond(elapsed);
}

} // namespace

int main()
{
    TIdAntiFreeze antiFreeze;
    antiFreeze.IdleTimeOut = 50;
    antiFreeze.OnlyWhenIdle = false;
    long pumps = 0;
    antiFreeze.OnPumpMessages = [&](bool) { ++pumps; };

    const double waitThenReceive = receiveRun(false);
    const long pumpsWaiting = pumps;
    const double receiveFirst = receiveRun(true);
    pumps = 0;
    const double send = sendRun();
    std::printf("receive 8 KiB wait+recv: %.0f MiB/s (%ld pumps)\n", waitThenReceive, pumpsWaiting);
    std::printf("receive 8 KiB recv-first: %.0f MiB/s\n", receiveFirst);
    std::printf("send 4 KiB: %.0f MiB/s (%ld pumps)\n", send, pumps);
    return 0;
}
