// Starts the real FTP server (pyftpdlib) on 127.0.0.1 (or ::1) with a temporary root for a test,
// and stops it when the object goes away.
#pragma once

#include "support/ChildProcess.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

class TempDir {
public:
    explicit TempDir(const std::string& prefix = "tarn-test");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

class FtpServerProcess {
public:
    static constexpr const char* kUser = "tarn";
    static constexpr const char* kPassword = "secret";

    // Starts the server serving `root` on the loopback address (127.0.0.1 or ::1), with more
    // of the script's options (faults, limits, a transfer log) where given; throws
    // std::runtime_error when it does not come up within a few seconds.
    // `options` go to the server script as they are ("--tls", "explicit", "--rate", ...).
    explicit FtpServerProcess(const std::filesystem::path& root, const std::string& host = "127.0.0.1",
                              const std::vector<std::string>& options = {});
    ~FtpServerProcess();
    FtpServerProcess(const FtpServerProcess&) = delete;
    FtpServerProcess& operator=(const FtpServerProcess&) = delete;

    std::uint16_t port() const { return m_port; }
    const std::filesystem::path& root() const { return m_root; }

private:
    std::filesystem::path m_root;
    // Declared before the pipe to its input, so the input closes first (the server's cue to
    // stop) and the process is stopped and reaped after it.
    std::unique_ptr<ChildProcess> m_server;
    UniqueFd m_input;
    std::uint16_t m_port = 0;
};

// The bus address of GNOME Keyring's Secret Service, unlocked, on a private session bus of its
// own, started at the first call. It stops when the test program ends: the library that talks
// to the bus ends a program whose session bus goes away, so the bus outlives every test.
// Throws std::runtime_error when the keyring does not answer within a few seconds.
const std::string& keyringBusAddress();

// The rest of the first line from `fd` that starts with `tag`, or empty after `deadline`.
std::string readTaggedLine(int fd, const std::string& tag, std::chrono::milliseconds deadline);

class TIdFTP;
// Points a passive session at `server` on `host` as the server's user.
void aimAtServer(TIdFTP& ftp, const FtpServerProcess& server, const std::string& host = "127.0.0.1");

// Writes `size` bytes of a repeatable pattern (seeded) to `file`.
void writePatternFile(const std::filesystem::path& file, std::int64_t size, unsigned seed = 1);
// Reads a whole file; small files only.
std::string readWholeFile(const std::filesystem::path& file);
void writeWholeFile(const std::filesystem::path& file, const std::string& bytes);
