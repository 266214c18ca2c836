#include "device/SerialComCtl.h"
#include "device/DeviceTexts.h"
#include "device/ScriptedSerialPort.h"

#include <gtest/gtest.h>

using Op = ScriptedSerialPort::Operation;

TEST(SerialComCtlOpen, PortResultsAndParameterChecks) {
    struct Case {
        const char* what;
        int32_t openResult;
        int32_t baud, stopBits, dataBits, parity;
        int32_t lineResult;
        bool ok;
        std::string_view text; // "stale" stays when no text applies
        int closes;
    } cases[] = {
        {"opened", 0, 9600, 1, 8, 0, 0, true, "stale", 0},
        {"no such port", -1, 9600, 1, 8, 0, 0, false, DeviceText::NoSuchPort, 0},
        {"already open", -5, 9600, 1, 8, 0, 0, false, DeviceText::PortInUse, 0},
        {"system failure", -8, 9600, 1, 8, 0, 0, false, DeviceText::SystemCallFailed, 0},
        {"unlisted open result", -3, 9600, 1, 8, 0, 0, false, "stale", 0},
        {"4800 is not a rate", 0, 4800, 1, 8, 0, 0, false, DeviceText::BadBaudRate, 1},
        {"data bits first", 0, 4800, 3, 9, 7, 0, false, DeviceText::BadDataBits, 1},
        {"then stop bits", 0, 4800, 3, 8, 7, 0, false, DeviceText::BadStopBits, 1},
        {"then parity", 0, 4800, 2, 8, 3, 0, false, DeviceText::BadParity, 1},
        {"line parameters refused", 0, 9600, 1, 8, 0, -7, false, DeviceText::BadLineParameter, 1},
        {"line parameters failed", 0, 9600, 1, 8, 0, -2, false, "stale", 1},
    };
    for (const auto& c : cases) {
        ScriptedSerialPort port;
        port.openResults = {c.openResult};
        port.lineParameterResults = {c.lineResult};
        std::string error = "stale";
        {
            SerialComCtl link(port);
            EXPECT_EQ(link.Open(3, c.baud, error, c.stopBits, c.dataBits, c.parity), c.ok)
                << c.what;
            EXPECT_EQ(error, c.text) << c.what;
            EXPECT_EQ(port.CountOf(Op::Close), c.closes) << c.what;
            EXPECT_EQ(link.port(), c.openResult == 0 ? 3 : -1) << c.what;
        }
        EXPECT_EQ(port.calls.back().operation, Op::Close) << c.what << ": destructor closes";
    }
}

TEST(SerialComCtlOpen, EncodesBaudAndLineControl) {
    struct Case {
        int32_t baud, stopBits, dataBits, parity;
        int32_t baudCode, lineControl;
    } cases[] = {
        {1200, 1, 8, 1, 7, 0x0B}, // 8 data bits, 1 stop bit, odd parity
        {2400, 2, 5, 0, 9, 0x04},   {9600, 1, 6, 2, 12, 0x19},  {19200, 2, 7, 1, 13, 0x0E},
        {38400, 1, 8, 0, 14, 0x03}, {57600, 1, 8, 0, 15, 0x03}, {115200, 2, 8, 2, 16, 0x1F},
    };
    for (const auto& c : cases) {
        ScriptedSerialPort port;
        SerialComCtl link(port);
        std::string error;
        ASSERT_TRUE(link.Open(1, c.baud, error, c.stopBits, c.dataBits, c.parity));
        ASSERT_EQ(port.calls.size(), 3u);
        EXPECT_EQ(port.calls[1].operation, Op::Timing);
        EXPECT_EQ(port.calls[1].first, 60);
        EXPECT_EQ(port.calls[1].second, 30);
        EXPECT_EQ(port.calls[2].first, c.baudCode) << c.baud;
        EXPECT_EQ(port.calls[2].second, c.lineControl) << c.baud;
    }
}

TEST(SerialComCtlOpen, ReopenRepeatsTheLastOpenEvenAfterAFailedCheck) {
    ScriptedSerialPort port;
    SerialComCtl link(port);
    std::string error;
    EXPECT_FALSE(link.Open(4, 4800, error, 1, 8, 2));
    port.calls.clear();
    EXPECT_FALSE(link.Reopen(error));
    ASSERT_GE(port.calls.size(), 2u);
    EXPECT_EQ(port.calls[0].operation, Op::Close);
    EXPECT_EQ(port.calls[1].operation, Op::Open);
    EXPECT_EQ(port.calls[1].port, 4);
    EXPECT_EQ(error, DeviceText::BadBaudRate);

    ASSERT_TRUE(link.Open(2, 19200, error, 2, 7, 1));
    port.calls.clear();
    EXPECT_TRUE(link.Reopen(error));
    EXPECT_EQ(port.calls.back().first, 13);
    EXPECT_EQ(port.calls.back().second, 0x0E);
}

TEST(SerialComCtlSend, NeverOpenedCallsNothing) {
    ScriptedSerialPort port;
    SerialComCtl link(port);
    const uint8_t frame[8] = {};
    std::string error = "stale";
    EXPECT_EQ(link.Receive(nullptr, 8, error), 0);
    EXPECT_EQ(error, "stale");
    EXPECT_EQ(link.Send(frame, 8, error), 0);
    EXPECT_EQ(error, DeviceText::PortNeverOpened);
    EXPECT_TRUE(port.calls.empty());
}

TEST(SerialComCtlSend, WriteResultTables) {
    struct Case {
        const char* what;
        std::deque<int32_t> results;
        int32_t sent;
        int writeCalls;
        std::string_view text;
        std::vector<uint8_t> taken;
    } cases[] = {
        {"3 of 8 bytes, then 5", {3, 5}, 8, 2, "", {1, 2, 3, 4, 5, 6, 7, 8}},
        {"error -12, then two successes",
         {-12, 4, 4},
         8,
         3,
         DeviceText::WriteTimeout,
         {1, 2, 3, 4, 5, 6, 7, 8}},
        {"error after 3 bytes starts the frame again",
         {3, -1, 8},
         8,
         3,
         DeviceText::PortNotOpened,
         {1, 2, 3, 1, 2, 3, 4, 5, 6, 7, 8}},
        {"unlisted error changes nothing", {2, -4, 6}, 8, 3, "", {1, 2, 3, 4, 5, 6, 7, 8}},
        {"five calls at most", {1, 1, 1, 1, 1, 1}, 5, 5, "", {1, 2, 3, 4, 5}},
        {"-7", {-7, -7, -7, -7, -7}, 0, 5, DeviceText::BadParameter, {}},
        {"-11", {-11, -2, -2, -2, -2}, 0, 5, DeviceText::WriteAborted, {}},
    };
    const uint8_t frame[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    for (const auto& c : cases) {
        ScriptedSerialPort port;
        SerialComCtl link(port);
        std::string error;
        ASSERT_TRUE(link.Open(1, 9600, error, 1, 8, 0));
        port.writeResults = c.results;
        EXPECT_EQ(link.Send(frame, 8, error), c.sent) << c.what;
        EXPECT_EQ(port.CountOf(Op::Write), c.writeCalls) << c.what;
        EXPECT_EQ(error, c.text) << c.what;
        EXPECT_EQ(port.Written(), c.taken) << c.what;
    }
}

TEST(SerialComCtlReceive, ReadResultTables) {
    struct Case {
        const char* what;
        std::deque<int32_t> results;
        size_t arriving;
        int32_t received;
        int readCalls;
        std::string_view text;
    } cases[] = {
        {"4 + 0 + 9 bytes", {4, 0, 9}, 13, 13, 3, ""},
        {"5 of 13 within fifty reads", {}, 5, 5, 50, DeviceText::ReceiveTimeout},
        {"nothing at all", {}, 0, 0, 50, DeviceText::ReceiveTimeout},
        {"-12 ends at once", {6, -12}, 13, 0, 2, DeviceText::WriteTimeout},
        {"-1 ends at once", {-1}, 13, 0, 1, DeviceText::PortNotOpened},
        {"an unlisted error ends with what arrived", {6, -3}, 13, 6, 2, ""},
    };
    for (const auto& c : cases) {
        ScriptedSerialPort port;
        SerialComCtl link(port);
        std::string error;
        ASSERT_TRUE(link.Open(1, 9600, error, 1, 8, 0));
        port.readResults = c.results;
        port.QueueIncoming(std::vector<uint8_t>(c.arriving, 0x42));
        uint8_t buffer[13] = {};
        EXPECT_EQ(link.Receive(buffer, 13, error), c.received) << c.what;
        EXPECT_EQ(port.CountOf(Op::Read), c.readCalls) << c.what;
        EXPECT_EQ(error, c.text) << c.what;
    }
}

TEST(SerialComCtlReceive, AClosedLinkStillReachesThePort) {
    // After Close the number is kept, so the port layer reports the closed port itself.
    ScriptedSerialPort port;
    SerialComCtl link(port);
    std::string error;
    ASSERT_TRUE(link.Open(7, 9600, error, 1, 8, 0));
    link.Close();
    port.writeResults = {-1, -1, -1, -1, -1};
    const uint8_t frame[8] = {};
    EXPECT_EQ(link.Send(frame, 8, error), 0);
    EXPECT_EQ(error, DeviceText::PortNotOpened);
    EXPECT_EQ(port.calls.back().port, 7);
}
