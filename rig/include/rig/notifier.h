// Step events for the external controller program on the same computer: one short ASCII text
// in one UDP datagram to 127.0.0.1:1111, without terminator. Nothing is received; a datagram
// to a port where nothing listens is lost without error.
#pragma once

#include <functional>
#include <string>

namespace veltron::rig {

inline constexpr int kStepEventPort = 1111;

// Sends one datagram from a fresh socket; false on any socket error.
bool sendDatagram(const std::string& text, int port = kStepEventPort);

} // namespace veltron::rig
