// The exception tree of the network code: every failure of the transport and the FTP client is
// one of these, rooted at EIdException, each with its fixed message text.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

// The small base that carries the message; what() is the message.
class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    std::string Message() const { return what(); }
};

// Base of every network exception; the window catches this class around network calls.
class EIdException : public Exception {
public:
    using Exception::Exception;
    // The class name written to the failure log (typeid names are mangled).
    virtual const char* ClassName() const;
};

// Declares an exception class that only adds its name; the message comes from the raiser.
#define TARN_ID_EXCEPTION(Name, Parent)                                  \
    class Name : public Parent {                                         \
    public:                                                              \
        using Parent::Parent;                                            \
        const char* ClassName() const override { return #Name; }         \
    }

// Declares an exception class with a fixed default message (another may still be given).
#define TARN_ID_EXCEPTION_TEXT(Name, Parent, Text)                       \
    class Name : public Parent {                                         \
    public:                                                              \
        using Parent::Parent;                                            \
        Name() : Parent(Text) {}                                         \
        const char* ClassName() const override { return #Name; }         \
    }

// A failed socket call: the Winsock-style error number and its text
// ("Socket Error # 10061\r\nConnection refused.").
class EIdSocketError : public EIdException {
public:
    EIdSocketError(int error, const std::string& message) : EIdException(message), m_error(error) {}
    int LastError() const { return m_error; }
    const char* ClassName() const override { return "EIdSocketError"; }

private:
    int m_error;
};

TARN_ID_EXCEPTION_TEXT(EIdInvalidSocket, EIdException, "Cannot allocate socket.");

TARN_ID_EXCEPTION(EIdStackError, EIdException);
TARN_ID_EXCEPTION_TEXT(EIdStackInitializationFailed, EIdStackError, "Winsock Initialization Error.");
TARN_ID_EXCEPTION_TEXT(EIdStackSetSizeExceeded, EIdStackError, "Set Size Exceeded.");

// A text that is not an IPv4 address where one is required.
class EIdInvalidIPAddress : public EIdStackError {
public:
    explicit EIdInvalidIPAddress(const std::string& text)
        : EIdStackError(text + " is not a valid IP address.") {}
    const char* ClassName() const override { return "EIdInvalidIPAddress"; }
};

TARN_ID_EXCEPTION(EIdSocketHandleError, EIdException);
TARN_ID_EXCEPTION_TEXT(EIdCouldNotBindSocket, EIdSocketHandleError,
                       "Could not bind socket. Address and port are already in use.");

class EIdCanNotBindPortInRange : public EIdSocketHandleError {
public:
    EIdCanNotBindPortInRange(int portMin, int portMax)
        : EIdSocketHandleError("Can not bind in port range (" + std::to_string(portMin) + " - " +
                               std::to_string(portMax) + ")") {}
    const char* ClassName() const override { return "EIdCanNotBindPortInRange"; }
};

class EIdInvalidPortRange : public EIdSocketHandleError {
public:
    EIdInvalidPortRange(int portMin, int portMax)
        : EIdSocketHandleError("Invalid Port Range (" + std::to_string(portMin) + " - " +
                               std::to_string(portMax) + ")") {}
    const char* ClassName() const override { return "EIdInvalidPortRange"; }
};

TARN_ID_EXCEPTION(EIdSilentException, EIdException);
TARN_ID_EXCEPTION_TEXT(EIdConnClosedGracefully, EIdSilentException, "Connection Closed Gracefully.");

class EIdInvalidServiceName : public EIdException {
public:
    explicit EIdInvalidServiceName(const std::string& name)
        : EIdException(name + " is not a valid service.") {}
    const char* ClassName() const override { return "EIdInvalidServiceName"; }
};

// The socket library could not be loaded or called; kept for the Windows binding's texts:
// the message is the title, then ": " and the system's text when the number is not 0.
class EIdWS2StubError : public EIdException {
public:
    EIdWS2StubError(int error, const std::string& errorText, const std::string& title)
        : EIdException(error == 0 ? title : title + ": " + errorText),
          m_error(error), m_errorText(errorText), m_title(title) {}
    int Win32Error() const { return m_error; }
    const std::string& Win32ErrorText() const { return m_errorText; }
    const std::string& Title() const { return m_title; }
    const char* ClassName() const override { return "EIdWS2StubError"; }

private:
    int m_error;
    std::string m_errorText;
    std::string m_title;
};

// A negative protocol reply: the reply code and the reply text as the message.
class EIdProtocolReplyError : public EIdException {
public:
    EIdProtocolReplyError(int replyCode, const std::string& replyText)
        : EIdException(replyText), m_replyCode(replyCode) {}
    int ReplyErrorCode() const { return m_replyCode; }
    const char* ClassName() const override { return "EIdProtocolReplyError"; }

private:
    int m_replyCode;
};

// Raised by the transport and the connection classes.
TARN_ID_EXCEPTION(EIdAlreadyConnected, EIdException);
TARN_ID_EXCEPTION_TEXT(EIdClosedSocket, EIdException, "Disconnected.");
TARN_ID_EXCEPTION(EIdReadTimeout, EIdException);
TARN_ID_EXCEPTION_TEXT(EIdWriteTimeout, EIdException, "Write Timeout");
TARN_ID_EXCEPTION(EIdReadLnMaxLineLengthExceeded, EIdException);
TARN_ID_EXCEPTION_TEXT(EIdConnectTimeout, EIdException, "Connect timed out.");
TARN_ID_EXCEPTION(EIdConnectException, EIdException);
TARN_ID_EXCEPTION(EIdInvalidFTPListingFormat, EIdException);
TARN_ID_EXCEPTION(EIdFTPFileAlreadyExists, EIdException);
TARN_ID_EXCEPTION(EIdTCPConnectionError, EIdException);
TARN_ID_EXCEPTION(EIdNotEnoughDataInBuffer, EIdTCPConnectionError);
TARN_ID_EXCEPTION(EIdNoDataToRead, EIdTCPConnectionError);
TARN_ID_EXCEPTION(EIdNotConnected, EIdTCPConnectionError);
TARN_ID_EXCEPTION(EIdFileNotFound, EIdTCPConnectionError);
