// The socket stack: IPv4 address forms, host lookups, the error texts, and the wait set limit.
#include <gtest/gtest.h>

#include <cerrno>
#include <thread>
#include <vector>

#include "NetTestSupport.h"
#include "net/IdException.h"
#include "net/IdStack.h"

namespace {

struct AddressCase {
    const char* id;
    const char* text;
    bool valid;
    const char* dotted;
    TIdIPAddressForm form;
};

class ParseIPv4Test : public ::testing::TestWithParam<AddressCase> {};

TEST_P(ParseIPv4Test, ReadsTheAddressOrRefusesIt)
{
    const AddressCase& c = GetParam();
    const TIdIPv4Parse parse = TIdStack::ParseIPv4(c.text);
    ASSERT_EQ(parse.Valid, c.valid) << c.text;
    if (c.valid) {
        EXPECT_EQ(TIdStack::AddressToText(parse.Bytes), c.dotted);
        EXPECT_EQ(parse.Form, c.form);
    }
}

constexpr auto kDotted = TIdIPAddressForm::Dotted;
constexpr auto kNumber = TIdIPAddressForm::SingleNumber;

INSTANTIATE_TEST_SUITE_P(
    Forms, ParseIPv4Test,
    ::testing::Values(AddressCase{"four_parts", "192.168.1.1", true, "192.168.1.1", kDotted},
                      AddressCase{"two_parts", "10.1", true, "10.0.0.1", kDotted},
                      AddressCase{"two_parts_wide", "10.65537", true, "10.1.0.1", kDotted},
                      AddressCase{"three_parts", "10.1.2", true, "10.1.0.2", kDotted},
                      AddressCase{"three_parts_wide", "10.1.258", true, "10.1.1.2", kDotted},
                      AddressCase{"single_number", "3232235777", true, "192.168.1.1", kNumber},
                      AddressCase{"single_number_max", "4294967295", true, "255.255.255.255", kNumber},
                      AddressCase{"hex_dollar", "$C0.$A8.1.1", true, "192.168.1.1", kDotted},
                      AddressCase{"hex_0x", "0xC0.0xa8.0X01.1", true, "192.168.1.1", kDotted},
                      AddressCase{"hex_single", "0xC0A80101", true, "192.168.1.1", kNumber},
                      AddressCase{"leading_blank_and_sign", " 10.+1.2.3", true, "10.1.2.3", kDotted},
                      AddressCase{"part_over_255", "256.1.1.1", false, "", kDotted},
                      AddressCase{"five_parts", "1.2.3.4.5", false, "", kDotted},
                      AddressCase{"negative_part", "1.-2.3.4", false, "", kDotted},
                      AddressCase{"two_parts_over", "10.16777216", false, "", kDotted},
                      AddressCase{"three_parts_over", "10.1.65536", false, "", kDotted},
                      AddressCase{"single_number_over", "4294967296", false, "", kNumber},
                      AddressCase{"name", "ftp.example.com", false, "", kDotted},
                      AddressCase{"trailing_blank", "1.2.3.4 ", false, "", kDotted},
                      AddressCase{"empty", "", false, "", kDotted}),
    [](const auto& info) { return std::string(info.param.id); });

TEST(StackAddressTest, AddressClassFollowsTheFirstByte)
{
    EXPECT_EQ(TIdStack::ParseIPv4("10.0.0.1").AddressClass, TIdIPAddressClass::A);
    EXPECT_EQ(TIdStack::ParseIPv4("172.16.0.1").AddressClass, TIdIPAddressClass::B);
    EXPECT_EQ(TIdStack::ParseIPv4("192.168.0.1").AddressClass, TIdIPAddressClass::C);
    EXPECT_EQ(TIdStack::ParseIPv4("224.0.0.1").AddressClass, TIdIPAddressClass::D);
    EXPECT_EQ(TIdStack::ParseIPv4("250.0.0.1").AddressClass, TIdIPAddressClass::E);
    EXPECT_EQ(TIdStack::ParseIPv4("3232235777").AddressClass, TIdIPAddressClass::None);
}

TEST(StackAddressTest, TextToAddressRefusesANonAddressWithItsText)
{
    try {
        (void)TIdStack::TextToAddress("ftp.example.com");
        FAIL() << "no exception";
    } catch (const EIdInvalidIPAddress& e) {
        EXPECT_STREQ(e.what(), "ftp.example.com is not a valid IP address.");
    }
}

TEST(StackLookupTest, LocalhostInAnyCaseIsTheLoopbackAddress)
{
    StackHolder stack;
    for (const char* name : {"localhost", "LOCALHOST", "LocalHost"})
        EXPECT_EQ(SocketStack->HostToAddress(name), "127.0.0.1") << name;
}

TEST(StackLookupTest, AnAddressTextIsKeptAsWritten)
{
    StackHolder stack;
    EXPECT_EQ(SocketStack->HostToAddress("3232235777"), "3232235777");
    EXPECT_EQ(SocketStack->HostToAddress("127.0.0.1"), "127.0.0.1");
}

TEST(StackLookupTest, AnUnknownHostRaisesHostNotFound)
{
    StackHolder stack;
    try {
        // The empty label makes the resolver refuse the name before any query leaves the
        // machine, so the test sends no traffic beyond loopback.
        (void)SocketStack->HostToAddress("tarn-no-such-host..invalid");
        FAIL() << "no exception";
    } catch (const EIdSocketError& e) {
        EXPECT_EQ(e.LastError(), 11001);
        EXPECT_STREQ(e.what(), "Socket Error # 11001\r\nHost not found.");
    }
}

struct ErrorCase {
    const char* id;
    int errnoValue;
    int number;
    const char* text;
};

class SocketErrorTextTest : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(SocketErrorTextTest, MapsErrnoByNameToTheNumberAndText)
{
    const ErrorCase& c = GetParam();
    EXPECT_EQ(WinsockErrorFromErrno(c.errnoValue), c.number);
    EXPECT_EQ(TIdStack::SocketErrorText(c.number), std::string("Socket Error # ") + std::to_string(c.number) +
                                                       "\r\n" + c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SocketErrorTextTest,
    ::testing::Values(ErrorCase{"refused", ECONNREFUSED, 10061, "Connection refused."},
                      ErrorCase{"in_use", EADDRINUSE, 10048, "Address already in use."},
                      ErrorCase{"not_available", EADDRNOTAVAIL, 10049, "Cannot assign requested address."},
                      ErrorCase{"reset", ECONNRESET, 10054, "Connection reset by peer."},
                      ErrorCase{"aborted", ECONNABORTED, 10053, "Software caused connection abort."},
                      ErrorCase{"broken_pipe", EPIPE, 10058, "Cannot send or receive after socket is closed."},
                      ErrorCase{"would_block", EWOULDBLOCK, 10035, "Operation would block. "},
                      ErrorCase{"timed_out", ETIMEDOUT, 10060, "Connection timed out."},
                      ErrorCase{"unreachable", EHOSTUNREACH, 10065, "No route to host."},
                      ErrorCase{"not_empty", ENOTEMPTY, 10066, "Directory not empty"}),
    [](const auto& info) { return std::string(info.param.id); });

TEST(SocketErrorTextTest, ANumberOutsideTheTableEndsAfterTheLineBreak)
{
    EXPECT_EQ(TIdStack::SocketErrorText(12345), "Socket Error # 12345\r\n");
}

TEST(StackCheckResultTest, ToleratesListedErrorsAndRaisesOthers)
{
    StackHolder stack;
    RawSocket occupant;
    ASSERT_TRUE(occupant.bindLoopback(0));
    RawSocket second;
    const int result = SocketStack->bindSocket(second.fd(), AF_INET, "127.0.0.1", occupant.localPort());
    EXPECT_TRUE(SocketStack->CheckResult(result, {Id_WSAEADDRINUSE}));
    EXPECT_EQ(SocketStack->LastError(), Id_WSAEADDRINUSE);
    EXPECT_THROW(SocketStack->CheckResult(result, {Id_WSAEINTR}), EIdSocketError);
    EXPECT_FALSE(SocketStack->CheckResult(0));
}

// The connect thread checks its own results: what it reads must never replace the error the
// window thread is about to report.
TEST(StackCheckResultTest, AnotherThreadsCheckLeavesThisThreadsLastError)
{
    StackHolder stack;
    RawSocket occupant;
    ASSERT_TRUE(occupant.bindLoopback(0));
    RawSocket second;
    const int result = SocketStack->bindSocket(second.fd(), AF_INET, "127.0.0.1", occupant.localPort());
    ASSERT_TRUE(SocketStack->CheckResult(result, {Id_WSAEADDRINUSE}));
    std::thread other([] {
        const int refused = SocketStack->connectSocket(-1, AF_INET, "127.0.0.1", 1);
        EXPECT_TRUE(SocketStack->CheckResult(refused, {Id_WSAEBADF}));
        EXPECT_EQ(SocketStack->LastError(), Id_WSAEBADF);
    });
    other.join();
    EXPECT_EQ(SocketStack->LastError(), Id_WSAEADDRINUSE);
}

TEST(StackSelectTest, SixtyFiveSocketsExceedTheSetSize)
{
    StackHolder stack;
    std::vector<TIdStackSocketHandle> sockets(65, 0);
    try {
        SocketStack->select(&sockets, nullptr, nullptr, 0);
        FAIL() << "no exception";
    } catch (const EIdStackSetSizeExceeded& e) {
        EXPECT_STREQ(e.what(), "Set Size Exceeded.");
    }
}

TEST(StackSelectTest, ListsAreReplacedByTheReadySockets)
{
    StackHolder stack;
    RawSocket listener = loopbackListener();
    RawSocket quiet = loopbackListener();
    RawSocket client;
    client.connectWithoutWaiting(listener.localPort());
    std::vector<TIdStackSocketHandle> readList{quiet.fd(), listener.fd()};
    EXPECT_EQ(SocketStack->select(&readList, nullptr, nullptr, 2000), 1);
    EXPECT_EQ(readList, std::vector<TIdStackSocketHandle>{listener.fd()});
}

TEST(StackSelectTest, SixtyFourSocketsAreAccepted)
{
    StackHolder stack;
    std::vector<RawSocket> quietListeners;
    std::vector<TIdStackSocketHandle> sockets;
    for (int i = 0; i < 64; ++i) {
        quietListeners.push_back(loopbackListener());
        sockets.push_back(quietListeners.back().fd());
    }
    EXPECT_EQ(SocketStack->select(&sockets, nullptr, nullptr, 0), 0);
    EXPECT_TRUE(sockets.empty());
}

} // namespace
