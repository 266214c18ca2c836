#pragma once
// What a failed start of a live run (or of the command-line poll) says beside its message: the
// device it tried and why, in words. The message itself keeps its fixed text ("Serial
// initialization failed!", "Instrument no response，Instrument address:1").

#include <chrono>
#include <string>

// "/dev/ttyUSB0: permission denied". portCause is the port layer's reason for a failed open
// (SerialPortLayer::LastOpenFailure); without one, lastError, the link's text for a line
// setting it refused ("no defined baudrate!"), is the reason.
std::string OpenFailureDetail(const std::string& device, const std::string& portCause,
                              const std::string& lastError);

// "/dev/ttyUSB0: no answer within 1000 ms" for the link's failure text of the read that went
// unanswered (lastError, GBK); replyWait is how long a read waits (zero: unknown).
std::string NoResponseDetail(const std::string& device, const std::string& lastError,
                             std::chrono::milliseconds replyWait);
