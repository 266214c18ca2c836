#include "tools/simulator/SimulatorServer.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int PollMilliseconds = 20;
// After this long without a byte a partial frame is given up.
constexpr auto IdleFlush = std::chrono::milliseconds(200);
// How long a reply may wait for room on the line before it is dropped.
constexpr int WriteWaitMilliseconds = 200;

std::string Hex(std::span<const uint8_t> bytes) {
    std::string text;
    char byte[4];
    for (uint8_t b : bytes) {
        std::snprintf(byte, sizeof byte, "%02X ", b);
        text += byte;
    }
    if (!text.empty())
        text.pop_back();
    return text;
}

bool WriteAll(int fd, const uint8_t* bytes, size_t count) {
    while (count > 0) {
        const ssize_t n = write(fd, bytes, count);
        if (n > 0) {
            bytes += n;
            count -= static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            return false;
        pollfd p{fd, POLLOUT, 0};
        if (poll(&p, 1, WriteWaitMilliseconds) <= 0)
            return false;
    }
    return true;
}

} // namespace

SimulatorServer::SimulatorServer(InstrumentSimulator& instrument) : instrument(instrument) {}

SimulatorServer::~SimulatorServer() {
    Stop();
    Close();
}

void SimulatorServer::Close() {
    if (slave >= 0)
        close(slave);
    if (master >= 0)
        close(master);
    slave = master = -1;
}

void SimulatorServer::WriteLine(const uint8_t* bytes, size_t count) {
    std::lock_guard lock(writing);
    WriteAll(master, bytes, count);
}

void SimulatorServer::InjectBytes(const std::vector<uint8_t>& bytes) {
    if (trace)
        trace("-> noise " + Hex(bytes));
    WriteLine(bytes.data(), bytes.size());
}

bool SimulatorServer::Open(std::string& error) {
    master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128];
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 ||
        ptsname_r(master, name, sizeof name) != 0) {
        error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    devicePath = name;
    slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        error = "cannot open " + devicePath + ": " + std::strerror(errno);
        return false;
    }
    // Raw from the start: no echo and no line editing before the program sets its own mode.
    termios tio;
    tcgetattr(slave, &tio);
    cfmakeraw(&tio);
    tcsetattr(slave, TCSANOW, &tio);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    return true;
}

void SimulatorServer::WriteReply(const std::vector<uint8_t>& reply) {
    if (trace)
        trace("-> " + Hex(reply));
    const int baud = instrument.Faults().paceBaud;
    if (baud <= 0) {
        WriteLine(reply.data(), reply.size());
        return;
    }
    // One byte per character time: start bit, eight data bits, stop bit. Each byte goes out
    // when its time on the line has passed, counted from the reply's start, so that late
    // wake-ups do not add up.
    const auto characterTime = std::chrono::duration<double>(10.0 / baud);
    const auto start = Clock::now();
    for (size_t k = 0; k < reply.size(); ++k) {
        std::this_thread::sleep_until(
            start + std::chrono::duration_cast<Clock::duration>(characterTime * (k + 1)));
        std::lock_guard lock(writing);
        if (!WriteAll(master, &reply[k], 1))
            return;
    }
}

void SimulatorServer::Run(const std::atomic<bool>& stop) {
    uint8_t buffer[1024];
    auto lastByte = Clock::now();
    bool partial = false;
    while (!stop.load() && !stopRequested.load()) {
        pollfd p{master, POLLIN, 0};
        const int ready = poll(&p, 1, PollMilliseconds);
        if (ready < 0 && errno != EINTR)
            break;
        if (ready <= 0 || !(p.revents & POLLIN)) {
            if (partial && Clock::now() - lastByte > IdleFlush) {
                instrument.LineIdle();
                partial = false;
            }
            // POLLHUP without data: nobody has the terminal open; wait instead of spinning.
            if (ready > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(PollMilliseconds));
            continue;
        }
        const ssize_t n = read(master, buffer, sizeof buffer);
        if (n <= 0)
            continue;
        lastByte = Clock::now();
        const std::span<const uint8_t> bytes(buffer, static_cast<size_t>(n));
        if (trace)
            trace("<- " + Hex(bytes));
        // A pseudo-terminal hands over a written frame at once; on a paced line its bytes
        // arrive one character time apart, and the answer cannot start before the last.
        if (const int baud = instrument.Faults().paceBaud; baud > 0)
            std::this_thread::sleep_for(std::chrono::duration<double>(10.0 * n / baud));
        const auto replies = instrument.Receive(bytes);
        for (const auto& reply : replies)
            WriteReply(reply);
        partial = true;
    }
}

void SimulatorServer::Start() {
    stopRequested = false;
    static const std::atomic<bool> never{false};
    thread = std::thread([this] { Run(never); });
}

void SimulatorServer::Stop() {
    stopRequested = true;
    if (thread.joinable())
        thread.join();
}
