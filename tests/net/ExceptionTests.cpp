// The exception tree: each class names itself for the failure log and sits under the class
// the window catches.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "net/IdException.h"

namespace {

struct ExceptionCase {
    const char* id;
    std::function<void()> raise;
    const char* className;
    const char* message;
};

class ExceptionTreeTest : public ::testing::TestWithParam<ExceptionCase> {};

TEST_P(ExceptionTreeTest, NamesItselfAndIsCaughtAsEIdException)
{
    const ExceptionCase& c = GetParam();
    try {
        c.raise();
        FAIL() << "no exception";
    } catch (const EIdException& e) {
        EXPECT_STREQ(e.ClassName(), c.className);
        EXPECT_STREQ(e.what(), c.message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Tree, ExceptionTreeTest,
    ::testing::Values(
        ExceptionCase{"connect_timeout", [] { throw EIdConnectTimeout(); }, "EIdConnectTimeout",
                      "Connect timed out."},
        ExceptionCase{"closed_socket", [] { throw EIdClosedSocket(); }, "EIdClosedSocket", "Disconnected."},
        ExceptionCase{"closed_gracefully", [] { throw EIdConnClosedGracefully(); }, "EIdConnClosedGracefully",
                      "Connection Closed Gracefully."},
        ExceptionCase{"invalid_socket", [] { throw EIdInvalidSocket(); }, "EIdInvalidSocket",
                      "Cannot allocate socket."},
        ExceptionCase{"stack_init", [] { throw EIdStackInitializationFailed(); },
                      "EIdStackInitializationFailed", "Winsock Initialization Error."},
        ExceptionCase{"port_range", [] { throw EIdCanNotBindPortInRange(5000, 5002); },
                      "EIdCanNotBindPortInRange", "Can not bind in port range (5000 - 5002)"},
        ExceptionCase{"service", [] { throw EIdInvalidServiceName("ftpx"); }, "EIdInvalidServiceName",
                      "ftpx is not a valid service."},
        ExceptionCase{"reply", [] { throw EIdProtocolReplyError(530, "Login incorrect."); },
                      "EIdProtocolReplyError", "Login incorrect."},
        ExceptionCase{"socket_error", [] { throw EIdSocketError(10054, "Socket Error # 10054"); },
                      "EIdSocketError", "Socket Error # 10054"},
        ExceptionCase{"stub_with_number", [] { throw EIdWS2StubError(126, "not found", "Error on loading"); },
                      "EIdWS2StubError", "Error on loading: not found"},
        ExceptionCase{"stub_without_number", [] { throw EIdWS2StubError(0, "", "Error on loading"); },
                      "EIdWS2StubError", "Error on loading"},
        ExceptionCase{"not_connected", [] { throw EIdNotConnected("Not Connected"); }, "EIdNotConnected",
                      "Not Connected"}),
    [](const auto& info) { return std::string(info.param.id); });

TEST(ExceptionTreeTest, IntermediateClassesCatchTheirDescendants)
{
    EXPECT_THROW(throw EIdConnClosedGracefully(), EIdSilentException);
    EXPECT_THROW(throw EIdStackSetSizeExceeded(), EIdStackError);
    EXPECT_THROW(throw EIdInvalidIPAddress("x"), EIdStackError);
    EXPECT_THROW(throw EIdInvalidPortRange(2, 1), EIdSocketHandleError);
    EXPECT_THROW(throw EIdCouldNotBindSocket(), EIdSocketHandleError);
    EXPECT_THROW(throw EIdFileNotFound("f"), EIdTCPConnectionError);
    EXPECT_THROW(throw EIdException("x"), Exception);
    EXPECT_THROW(throw EIdException("x"), std::runtime_error);
}

TEST(ExceptionTreeTest, CarriedNumbersSurvive)
{
    EXPECT_EQ(EIdSocketError(10061, "m").LastError(), 10061);
    EXPECT_EQ(EIdProtocolReplyError(550, "m").ReplyErrorCode(), 550);
}

} // namespace
