// The connect thread owns what it connects: the window closing the handle, and another socket
// taking the freed descriptor number, while the connect runs must not affect that other socket.
#include <gtest/gtest.h>

#include <chrono>
#include <sys/socket.h>

#include "NetTestSupport.h"
#include "net/IdConnectThread.h"
#include "net/IdSocketHandle.h"

namespace {

bool isConnected(int fd)
{
    sockaddr_in peer{};
    socklen_t length = sizeof(peer);
    return ::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) == 0;
}

TEST(ConnectThreadTest, AClosedHandlesReusedNumberIsNeverConnected)
{
    StackHolder stack;
    RawSocket listener = loopbackListener();
    TIdSocketHandle binding;
    binding.AllocateHandle(SOCK_STREAM);
    binding.SetPeerAddress("127.0.0.1", listener.localPort());
    const int number = binding.Handle();

    TIdConnectThread thread(binding);
    binding.ReleaseHandle();
    RawSocket newcomer;  // the lowest free number: the one just closed
    ASSERT_EQ(newcomer.fd(), number);

    ASSERT_TRUE(thread.WaitFinished(std::chrono::seconds(5)));
    EXPECT_FALSE(isConnected(newcomer.fd())) << "the connect reached a socket it does not own";
    EXPECT_TRUE(listener.readableWithin(std::chrono::seconds(5))) << "the connect was lost";
}

} // namespace
