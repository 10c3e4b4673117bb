// Loopback facts the tests ask of the machine: a port nobody listens on, and whether the IPv6
// loopback exists at all.
#pragma once

#include <cstdint>

// A 127.0.0.1 port with nothing listening on it (0 when none could be found).
std::uint16_t closedLoopbackPort();
// Whether this machine can listen on ::1.
bool ipv6LoopbackAvailable();
