// Loopback facts the tests ask of the machine: a port nobody listens on, whether the IPv6
// loopback exists at all, and how long a step on loopback may take before it counts as hung.
#pragma once

#include <chrono>
#include <cstdint>

// Far beyond any delay of a loaded machine, yet short of the time-outs a hung step would wait
// out (the tests' sessions give up reading after 10 s, their connects and accepts after 60 s).
inline constexpr std::chrono::seconds kPromptly{8};

// A 127.0.0.1 port with nothing listening on it (0 when none could be found).
std::uint16_t closedLoopbackPort();
// Whether this machine can listen on ::1.
bool ipv6LoopbackAvailable();
