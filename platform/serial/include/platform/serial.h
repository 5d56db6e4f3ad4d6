// Serial ports of the rig on Linux. Port n (COM n of the rig's settings) is the device "COM"n
// in the device folder: the folder named by VELTRON_DEVDIR, or /dev. An installation creates
// those names with udev rules; tests point VELTRON_DEVDIR at links to pseudo-terminals.
//
// A Port owns one file descriptor and a small read-ahead buffer: a read takes every byte the
// driver holds in one system call and hands them out one at a time, so a frame costs a few
// calls instead of two per byte. Bytes held there count as received: bytesAvailable() includes
// them, purge() discards them.
//
// A Port owns one file descriptor. It is opened exclusively (TIOCEXCL keeps other users out,
// flock keeps out root and other processes of ours, which TIOCEXCL does not), configured raw
// (no echo, no CR/LF mapping, no signals, no flow control, CLOCAL | CREAD) and read one byte at
// a time with poll, so a read time-out can be any number of milliseconds (VTIME only knows
// tenths of a second).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace veltron::serial {

// The device folder: $VELTRON_DEVDIR when set and not empty, else "/dev".
std::string deviceFolder();
// The device of port n: deviceFolder() + "/COM" + n.
std::string devicePath(int port);

enum class StopBits { one, two };

// Result of a single-byte read.
enum class ReadStatus { byte, timeout, error };

class Port {
public:
    Port() = default;
    ~Port();
    Port(const Port&) = delete;
    Port& operator=(const Port&) = delete;
    Port(Port&& other) noexcept;
    Port& operator=(Port&& other) noexcept;

    // Opens an existing device for reading and writing, exclusively. False when the device
    // does not exist, is not a terminal, or is already held by another Port (in this or
    // another process). A Port that is already open is closed first.
    bool open(const std::string& path);
    // Closes the descriptor; true when nothing was open or the close succeeded.
    bool close();
    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    // Raw 8-bit, no parity, the given stop bits and baud rate. Rates without a B constant
    // (for example 250000) are set through termios2. False when the driver refuses.
    bool configure(int baud, StopBits stopBits);
    // Replaces only the baud rate, keeping every other line setting.
    bool setBaud(int baud);
    // The output baud rate the driver holds now; 0 when it cannot be read.
    int baud() const;

    // Raises RTS, then DTR. Devices without modem lines (pseudo-terminals) refuse; the
    // result says so and the caller may ignore it.
    bool raiseRtsDtr();
    // Discards whatever waits in the receive and transmit queues.
    bool purge();
    // Bytes waiting in the receive queue (FIONREAD); -1 on error.
    int bytesAvailable() const;

    // Waits at most timeoutMs milliseconds (0: no wait) for one byte.
    ReadStatus readByte(std::uint8_t& out, int timeoutMs);
    // Reads up to count bytes within timeoutMs milliseconds in all; returns the number read,
    // or -1 when the port is not open or the read fails before any byte arrived.
    long read(std::uint8_t* buffer, std::size_t count, int timeoutMs);
    // Writes all bytes (blocking); returns the number written, -1 on failure.
    long write(const std::uint8_t* data, std::size_t count);

private:
    bool fill(int timeoutMs); // waits for bytes and reads what the driver holds; false on time-out or error
    std::size_t buffered() const { return tail_ - head_; }

    int fd_ = -1;
    std::vector<std::uint8_t> pending_; // read ahead from the driver, not yet handed out
    std::size_t head_ = 0;
    std::size_t tail_ = 0;
    bool failed_ = false; // the last fill failed (as opposed to timing out)
};

// Sets or reads a baud rate without a B constant through termios2 (Linux). Kept apart from
// the termios code because <asm/termbits.h> and <termios.h> cannot share a translation unit.
bool setCustomBaud(int fd, int baud);
int readCustomBaud(int fd);

} // namespace veltron::serial
