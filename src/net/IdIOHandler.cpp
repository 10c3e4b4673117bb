// The transport base: an open flag and no connection of its own.
#include "net/IdIOHandler.h"

void TIdIOHandler::AcceptDone() {}

void TIdIOHandler::CloseTransport()
{
    m_open = false;
}

void TIdIOHandler::ConnectTo(const std::string&, int, int, int, int, int, const std::string&) {}

bool TIdIOHandler::IsOpen() const
{
    return m_open;
}

void TIdIOHandler::OpenTransport()
{
    m_open = true;
}

std::int64_t TIdIOHandler::SendBytesWithin(const void* buffer, std::int64_t length, int)
{
    return SendBytes(buffer, length);
}
