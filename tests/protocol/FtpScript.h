// Helpers of the session tests against the scripted server: the usual login exchange, a
// session pointed at the server, a status recorder and a counting sink for large downloads.
#pragma once

#include "ftp/IdFTP.h"
#include "support/ScriptedFtpServer.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace ftptest {

inline ScriptedFtpServer& addLogin(ScriptedFtpServer& server, const std::string& type = "I")
{
    return server.send("220 Scripted server ready\r\n")
        .reply("USER tarn", "331 Password required\r\n")
        .reply("PASS secret", "230 Logged in\r\n")
        .reply("TYPE " + type, "200 Type set\r\n")
        .reply("SYST", "215 UNIX Type: L8\r\n");
}

// A session aimed at the scripted server; reads give up after 10 s so a broken script
// fails the test instead of hanging it.
inline std::unique_ptr<TIdFTP> makeSession(const ScriptedFtpServer& server, bool passive = true)
{
    auto ftp = std::make_unique<TIdFTP>();
    ftp->Host = "127.0.0.1";
    ftp->Port = server.port();
    ftp->SetUsername("tarn");
    ftp->SetPassword("secret");
    ftp->Passive = passive;
    ftp->ReadTimeout = 10000;
    return ftp;
}

struct StatusLog {
    std::vector<std::string> texts;
    void attach(TIdFTP& ftp)
    {
        ftp.OnStatus = [this](TIdComponent*, TIdStatus, const std::string& text) { texts.push_back(text); };
    }
    bool contains(const std::string& text) const
    {
        for (const auto& t : texts)
            if (t == text)
                return true;
        return false;
    }
};

// Counts what it is given and checks every byte against the scripted server's generated
// data, so gigabytes can be received without holding or storing them.
class CountingSink : public TIdStream {
public:
    explicit CountingSink(std::int64_t start = 0) : m_start(start) {}
    std::int64_t Read(void*, std::int64_t) override { return 0; }
    void Write(const void* data, std::int64_t count) override
    {
        const char* bytes = static_cast<const char*>(data);
        for (std::int64_t done = 0; done < count;) {
            const auto chunk = static_cast<std::size_t>(
                std::min<std::int64_t>(ScriptedFtpServer::kMaxSpan, count - done));
            const std::string_view expected = ScriptedFtpServer::generatedSpan(m_written, chunk);
            if (std::memcmp(bytes + done, expected.data(), chunk) != 0)
                ++m_mismatches;
            m_written += static_cast<std::int64_t>(chunk);
            done += static_cast<std::int64_t>(chunk);
        }
    }
    std::int64_t Position() const override { return m_start + m_written; }
    void Seek(std::int64_t) override {}
    std::int64_t Size() const override { return Position(); }
    void SetSize(std::int64_t) override {}
    std::int64_t written() const { return m_written; }
    int mismatches() const { return m_mismatches; }

private:
    std::int64_t m_start;
    std::int64_t m_written = 0;
    int m_mismatches = 0;
};

// Commands the client sent after the login exchange of addLogin.
inline std::vector<std::string> afterLogin(const ScriptedFtpServer& server)
{
    std::vector<std::string> all = server.transcript();
    const std::size_t skip = std::min<std::size_t>(4, all.size());
    return std::vector<std::string>(all.begin() + static_cast<std::ptrdiff_t>(skip), all.end());
}

} // namespace ftptest
