#include "device/LinkFailure.h"

#include "data/Text.h"
#include "device/DeviceTexts.h"

#include <utility>

std::string OpenFailureDetail(const std::string& device, const std::string& portCause,
                              const std::string& lastError) {
    std::string cause = portCause;
    if (cause.empty())
        cause =
            lastError.empty() ? std::string("the port could not be opened") : GbkToUtf8(lastError);
    return device + ": " + cause;
}

std::string NoResponseDetail(const std::string& device, const std::string& lastError,
                             std::chrono::milliseconds replyWait) {
    // The framing layer's texts, in the words of the message they explain.
    static const std::pair<std::string_view, const char*> causes[] = {
        {DeviceText::BadCrc, "replies with a bad CRC (another baud rate or parity?)"},
        {DeviceText::BadReplyAddress, "a reply from another instrument address"},
        {DeviceText::BadReplyFunction, "a reply with another function code"},
        {DeviceText::BadReplyByteCount, "a reply of the wrong length"},
        {DeviceText::BadReplyLength, "a reply of the wrong length"},
        {DeviceText::PortNotOpened, "the device went away"},
    };
    std::string cause;
    if (lastError == DeviceText::ReceiveTimeout || lastError.empty()) {
        cause = "no answer";
        if (replyWait.count() > 0)
            cause += " within " + std::to_string(replyWait.count()) + " ms";
    } else {
        cause = GbkToUtf8(lastError);
        for (const auto& [text, words] : causes)
            if (lastError == text)
                cause = words;
    }
    return device + ": " + cause;
}
