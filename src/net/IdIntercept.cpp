// The connection intercept: its events and the hand-off to the nested intercept, which is nearer
// the socket (it sees received data first and sent data last).
#include "net/IdIntercept.h"

TIdConnectionIntercept::~TIdConnectionIntercept()
{
    if (m_outer)
        m_outer->m_intercept = nullptr;
    if (m_intercept)
        m_intercept->m_outer = nullptr;
}

void TIdConnectionIntercept::SetIntercept(TIdConnectionIntercept* intercept)
{
    if (m_intercept)
        m_intercept->m_outer = nullptr;
    m_intercept = intercept;
    if (!intercept)
        return;
    if (intercept->m_outer && intercept->m_outer != this)
        intercept->m_outer->m_intercept = nullptr;
    intercept->m_outer = this;
}

void TIdConnectionIntercept::PassConnect(TIdComponent* connection)
{
    if (m_intercept)
        m_intercept->HandleConnect(connection);
}

void TIdConnectionIntercept::PassDisconnect()
{
    if (m_intercept)
        m_intercept->HandleDisconnect();
}

void TIdConnectionIntercept::PassReceive(std::string& block)
{
    if (m_intercept)
        m_intercept->HandleReceive(block);
}

void TIdConnectionIntercept::PassSend(std::string& block)
{
    if (m_intercept)
        m_intercept->HandleSend(block);
}

void TIdConnectionIntercept::HandleConnect(TIdComponent* connection)
{
    m_connection = connection;
    fireEvent(OnConnect, this);
    PassConnect(connection);
}

void TIdConnectionIntercept::HandleDisconnect()
{
    PassDisconnect();
    fireEvent(OnDisconnect, this);
    m_connection = nullptr;
}

void TIdConnectionIntercept::HandleReceive(std::string& block)
{
    PassReceive(block);
    fireEvent(OnReceive, this, block);
}

void TIdConnectionIntercept::HandleSend(std::string& block)
{
    fireEvent(OnSend, this, block);
    PassSend(block);
}
