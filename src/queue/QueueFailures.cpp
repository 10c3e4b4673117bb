// The queue's judgement of failures.
#include "queue/QueueFailures.h"

#include "ftp/IdFTP.h"
#include "ftp/IdSimpleServer.h"
#include "ftp/IdStream.h"

#include <cerrno>
#include <filesystem>

namespace {

// Line breaks of a multi-line reply or a socket error text become blanks.
std::string oneLine(std::string_view text)
{
    std::string line;
    for (char c : text) {
        const bool lineEnd = c == '\r' || c == '\n';
        if (!lineEnd)
            line += c;
        else if (!line.empty() && line.back() != ' ')
            line += ' ';
    }
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    return line;
}

bool isDiskFull(int error)
{
    return error == ENOSPC || error == EDQUOT;
}

template <class... Kinds>
bool isAnyOf(const EIdException& error)
{
    return (... || (dynamic_cast<const Kinds*>(&error) != nullptr));
}

FailureInfo judge(FailureKind kind, std::string_view text)
{
    return FailureInfo{kind, oneLine(text)};
}

} // namespace

FailureInfo classifyFailure(std::exception_ptr failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const EIdProtocolReplyError& error) {
        const int code = error.ReplyErrorCode();
        // RFC 959 4.2: 4yz is a transient negative reply, 5yz a permanent one.
        return judge(code >= 400 && code < 500 ? FailureKind::Transient : FailureKind::Permanent,
                     std::to_string(code) + " " + error.what());
    } catch (const EIdFileError& error) {
        return judge(isDiskFull(error.SystemError()) ? FailureKind::DiskFull : FailureKind::Permanent,
                     error.what());
    } catch (const std::filesystem::filesystem_error& error) {
        return judge(isDiskFull(error.code().value()) ? FailureKind::DiskFull : FailureKind::Permanent,
                     error.what());
    } catch (const EIdException& error) {
        // A lost or stalled connection: another attempt on a new one may well succeed.
        const bool transient = isAnyOf<EIdSocketError, EIdConnClosedGracefully, EIdTCPConnectionError,
                                       EIdReadTimeout, EIdWriteTimeout, EIdConnectTimeout,
                                       EIdConnectException, EIdClosedSocket, EIdAcceptTimeout,
                                       EIdFTPTransferAborted>(error);
        return judge(transient ? FailureKind::Transient : FailureKind::Permanent, error.what());
    } catch (const std::exception& error) {
        return judge(FailureKind::Permanent, error.what());
    } catch (...) {
        return judge(FailureKind::Permanent, "An unknown error ended the transfer.");
    }
}

bool refusedForTooMany(int code, std::string_view text)
{
    if (code == 421)
        return true;
    if (code != 530)
        return false;
    std::string lower(text);
    for (char& c : lower)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    for (std::string_view phrase : {"too many", "maximum number", "limit"}) {
        if (lower.find(phrase) != std::string::npos)
            return true;
    }
    return false;
}
