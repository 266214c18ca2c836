#pragma once
// A simulated paperless recorder: it answers the requests the program sends with the
// recorder's register map (identification, per-channel configuration, the live block with
// the current clock and values that move smoothly and cross their alarm limits now and then),
// takes the picture-transfer frames and saves the received picture, and can misbehave on
// purpose (fault options) to exercise the program's error paths.
//
// This class only turns request bytes into reply bytes; SimulatorServer puts it on a
// pseudo-terminal.

#include "data/DateTime.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

struct SimulatorFaults {
    // Answer this many requests, then stay silent; -1: never silent.
    int silentAfter = -1;
    // How long the silence lasts: this many requests, or this many seconds; both 0: for good.
    int silentRequests = 0;
    double silentSeconds = 0;
    // Corrupt the CRC of every k-th reply; 0: never.
    int corruptEvery = 0;
    // Answer from this address instead of our own; -1: our own.
    int answerAddress = -1;
    // Answer every read with this Modbus exception code; 0: answer normally.
    int exceptionCode = 0;
    // Take requests and send replies at this baud rate's pace (10 bit times a byte, replies
    // byte by byte); 0: at once.
    int paceBaud = 0;
    // Never acknowledge this picture block (its place in the picture, from 0); -1: none.
    int refuseBlock = -1;
    // Answer this many live reads, then set the clock back by clockBackSeconds (for good, as
    // an operator correcting it would); -1: never.
    int clockBackAfter = -1;
    double clockBackSeconds = 3600;
};

struct SimulatorOptions {
    int address = 1;
    // Where a received picture goes; empty: "picture-slot<n>.bin" in the working directory,
    // n being the slot as the user counts them (1 to 6).
    std::string pictureOutput;
    SimulatorFaults faults;
    // The instrument's clock; the local time when empty.
    std::function<DateTime()> clock;
    // Seconds the live values follow, asked once per live read; the time since the start
    // when empty.
    std::function<double()> valueSeconds;
};

struct SimulatorStats {
    int requests = 0; // frames for our address with a good CRC
    int replies = 0;
    int discardedBytes = 0; // bytes skipped while looking for a frame (bad CRC, noise)
    int picturesSaved = 0;
    // Picture frames taken: the slot of the last start frame, the block number byte of every
    // data frame (refused ones included), and the end frames.
    int lastPictureSlot = -1;
    std::vector<uint8_t> pictureBlockNumbers;
    int pictureEnds = 0;
    std::string lastPicturePath;
    std::string lastPictureError;
};

// The configuration one simulated channel reports.
struct SimulatedChannel {
    uint16_t decimalCode = 0;
    uint16_t unitCode = 0;
    int16_t centre = 0;                               // raw value the channel swings around
    int16_t amplitude = 0;                            // raw swing
    int16_t upper = 0, cap = 0, floor = 0, lower = 0; // raw alarm limits
    double periodSeconds = 0;
    double phase = 0;
};

class InstrumentSimulator {
public:
    static constexpr int ChannelCount = 16;
    static constexpr int PictureBlockSize = 512;

    explicit InstrumentSimulator(SimulatorOptions options);

    // Feeds bytes from the line; returns the replies to send, in order.
    std::vector<std::vector<uint8_t>> Receive(std::span<const uint8_t> bytes);
    // The line has been quiet for a while: an incomplete frame will not be completed.
    void LineIdle();

    // Faults may change while the simulator serves (tests switch them between requests).
    void SetFaults(const SimulatorFaults& faults);
    // Sets the instrument's clock back by seconds from now on (a negative count sets it
    // forward).
    void SetClockBack(double seconds);
    SimulatorFaults Faults() const;
    SimulatorStats Stats() const;

    static SimulatedChannel Channel(int k);
    // Raw value of channel k at the given seconds since the simulator started.
    static int16_t RawValue(int k, double seconds);

private:
    std::optional<std::vector<uint8_t>> Handle(std::span<const uint8_t> frame);
    std::optional<std::vector<uint8_t>> HandleRead(std::span<const uint8_t> frame);
    std::optional<std::vector<uint8_t>> HandlePicture(std::span<const uint8_t> frame);
    bool ReadRegister(uint8_t functionCode, int address, uint16_t& value) const;
    bool Silenced();
    void ApplyReplyFaults(std::vector<uint8_t>& reply);

    mutable std::mutex mutex;
    SimulatorOptions options;
    SimulatorStats stats;
    std::vector<uint8_t> pending; // bytes not yet formed into a frame
    std::chrono::steady_clock::time_point started;
    // Snapshot of the clock and values for the live read being answered.
    std::array<uint16_t, 22> liveBlock{};
    // Fault bookkeeping since the faults were last set.
    int requestsSinceFaults = 0;
    int repliesSinceFaults = 0;
    int liveReadsSinceFaults = 0;
    double clockOffsetSeconds = 0; // kept when the faults change
    int silencedRequests = 0;
    std::optional<std::chrono::steady_clock::time_point> silenceStarted;
    // Picture transfer in progress.
    std::optional<int> pictureSlot;
    std::vector<uint8_t> picture;
    int nextBlock = 0;
};
