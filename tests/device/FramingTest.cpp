#include "DeviceTestSupport.h"

#include "device/DeviceTexts.h"

#include <gtest/gtest.h>

#include <numeric>

namespace {

std::vector<uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

} // namespace

TEST(Crc16, MatchesKnownAnswers) {
    struct Case {
        std::vector<uint8_t> bytes;
        uint16_t crc;
    } cases[] = {
        {Bytes("123456789"), 0x4B37}, // the CRC-16/MODBUS catalogue check value
        {{}, 0xFFFF},
        {{0x01, 0x03, 0x00, 0x00, 0x00, 0x01}, 0x0A84},
        {{0x11, 0x03, 0x00, 0x6B, 0x00, 0x03}, 0x8776}, // the Modbus protocol's own example
    };
    for (const auto& c : cases)
        EXPECT_EQ(Crc16(c.bytes.data(), c.bytes.size()), c.crc);
}

TEST(Frames, AreBuiltByteForByte) {
    uint8_t out[600];
    // Read request: CRC low-order byte first.
    ASSERT_EQ(BuildReadRequest(out, 1, 3, 0x2000, 4), 8u);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 8),
              (std::vector<uint8_t>{0x01, 0x03, 0x20, 0x00, 0x00, 0x04, 0x4F, 0xC9}));

    // Only the low bits of address, start and count go on the wire.
    BuildReadRequest(out, 0x1C8, 4, 0x17000, 0x10016);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 6),
              (std::vector<uint8_t>{0xC8, 0x04, 0x70, 0x00, 0x00, 0x16}));

    // Picture frames carry their CRC high-order byte first.
    ASSERT_EQ(BuildPictureStart(out, 1, 0), 11u);
    EXPECT_EQ(
        std::vector<uint8_t>(out, out + 11),
        (std::vector<uint8_t>{0x01, 0x41, 0x00, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xA9, 0x3D}));
    ASSERT_EQ(BuildPictureEnd(out, 1), 10u);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 10),
              (std::vector<uint8_t>{0x01, 0x43, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0x36, 0x0C}));

    std::vector<uint8_t> block(512);
    std::iota(block.begin(), block.end(), 0);
    ASSERT_EQ(BuildPictureBlock(out, 1, 300, block), 517u);
    EXPECT_EQ(out[2], 0x2C) << "block 300 goes out as 300 mod 256";
    EXPECT_TRUE(std::equal(block.begin(), block.end(), out + 3));
    const uint16_t crc = Crc16(out, 515);
    EXPECT_EQ(out[515], crc >> 8);
    EXPECT_EQ(out[516], crc & 0xFF);
}

// Every register reply check, in its order: each case fails exactly the check named.
TEST(RegisterReply, ChecksRunInOrderWithTheirTexts) {
    const std::vector<uint8_t> good = WithCrc({0x01, 0x03, 0x04, 0x12, 0x34, 0xAB, 0xCD});
    auto corruptCrc = [](std::vector<uint8_t> r) {
        r.back() ^= 0xFF;
        return r;
    };
    struct Case {
        const char* what;
        std::vector<uint8_t> reply;
        std::string_view text;
    } cases[] = {
        {"six bytes are too short even with a good CRC", WithCrc({0x01, 0x03, 0x02, 0x00}),
         DeviceText::BadReplyLength},
        {"bad CRC beats a wrong address", corruptCrc(WithCrc({0x02, 0x04, 0x03, 1, 2, 3, 4})),
         DeviceText::BadCrc},
        {"wrong address beats a wrong function", WithCrc({0x02, 0x04, 0x03, 1, 2, 3, 4}),
         DeviceText::BadReplyAddress},
        {"wrong function beats a bad byte count", WithCrc({0x01, 0x04, 0x03, 1, 2, 3, 4}),
         DeviceText::BadReplyFunction},
        {"odd byte count", WithCrc({0x01, 0x03, 0x03, 1, 2, 3, 4}), DeviceText::BadReplyByteCount},
        {"exception reply", WithCrc({0x01, 0x83, 0x02, 0, 0}), DeviceText::BadReplyFunction},
    };
    for (const auto& c : cases) {
        std::string error = "stale";
        uint16_t registers[2] = {0x5555, 0x5555};
        EXPECT_FALSE(CheckRegisterReply(1, 3, error, c.reply.data(),
                                        static_cast<int32_t>(c.reply.size()), registers))
            << c.what;
        EXPECT_EQ(error, c.text) << c.what;
        EXPECT_EQ(registers[0], 0x5555) << c.what << ": nothing decoded";
    }

    std::string error = "untouched";
    uint16_t registers[2] = {};
    ASSERT_TRUE(CheckRegisterReply(1, 3, error, good.data(), 9, registers));
    EXPECT_EQ(error, "untouched");
    EXPECT_EQ(registers[0], 0x1234);
    EXPECT_EQ(registers[1], 0xABCD);

    // The address is compared as a whole unsigned byte.
    const auto high = WithCrc({200, 0x03, 0x02, 0x00, 0x07});
    EXPECT_TRUE(CheckRegisterReply(200, 3, error, high.data(), 7, registers));
    EXPECT_EQ(registers[0], 7);
}

TEST(RegisterReply, TheTextsAreTheInstrumentSoftwaresOwn) {
    EXPECT_EQ(Utf8(DeviceText::BadReplyLength), "返回字符个数不正确!");
    EXPECT_EQ(Utf8(DeviceText::BadCrc), "CRC校验不正确!");
    EXPECT_EQ(Utf8(DeviceText::BadReplyAddress), "返回包的设备地址不正确");
    EXPECT_EQ(Utf8(DeviceText::BadReplyFunction), "返回包的功能码不正确");
    EXPECT_EQ(Utf8(DeviceText::BadReplyByteCount), "返回包的字节个数不正确");
    EXPECT_EQ(Utf8(DeviceText::BadReplyBlock), "返回包的帧不对应");
    EXPECT_EQ(Utf8(DeviceText::InvalidRequestKind), "无效包类型");
    EXPECT_EQ(Utf8(DeviceText::PortNeverOpened), "串口未打开!");
}

TEST(RegisterReply, ByteCountLimits) {
    // 250 data bytes (125 registers) is the largest count that passes.
    struct Case {
        int byteCount;
        bool ok;
    } cases[] = {{250, true}, {252, false}, {249, false}, {2, true}};
    for (const auto& c : cases) {
        std::vector<uint8_t> reply{0x01, 0x04, static_cast<uint8_t>(c.byteCount)};
        reply.resize(3 + c.byteCount, 0x11);
        reply = WithCrc(reply);
        std::vector<uint16_t> registers(125);
        std::string error;
        EXPECT_EQ(CheckRegisterReply(1, 4, error, reply.data(), static_cast<int32_t>(reply.size()),
                                     registers),
                  c.ok)
            << c.byteCount;
        if (!c.ok) {
            EXPECT_EQ(error, DeviceText::BadReplyByteCount);
        }
    }
}

// A reply that claims more registers than were asked for (its CRC intact) must neither write
// past the destination nor read past the reply.
TEST(RegisterReply, AnOverlongClaimNeverOverruns) {
    std::vector<uint8_t> reply{0x01, 0x03, 20};
    for (int i = 0; i < 20; ++i)
        reply.push_back(static_cast<uint8_t>(i + 1));
    reply = WithCrc(reply);
    // Exact-size heap destination, so AddressSanitizer sees any write past it.
    auto registers = std::make_unique<uint16_t[]>(4);
    std::string error;
    ASSERT_TRUE(CheckRegisterReply(1, 3, error, reply.data(), static_cast<int32_t>(reply.size()),
                                   {registers.get(), 4}));
    EXPECT_EQ(registers[3], 0x0708);

    // A byte count that runs past the CRC would decode bytes that never arrived.
    const auto shortReply = WithCrc({0x01, 0x03, 0x08, 0x00, 0x01});
    EXPECT_FALSE(CheckRegisterReply(1, 3, error, shortReply.data(), 7, {registers.get(), 4}));
    EXPECT_EQ(error, DeviceText::BadReplyByteCount);
}

TEST(BitReply, DecodesEveryBitOfTheReturnedBytes) {
    // A request for 10 bits expects 7 bytes and writes 16 entries, first bit in bit 0.
    EXPECT_EQ(ExpectedReplyLength(1, 10), 7);
    const auto reply = WithCrc({0x01, 0x01, 0x02, 0b1000'0101, 0b0100'0010});
    std::vector<uint8_t> bits(16, 9);
    std::string error;
    ASSERT_TRUE(CheckBitReply(1, 1, error, reply.data(), 7, bits));
    EXPECT_EQ(bits, (std::vector<uint8_t>{1, 0, 1, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 1, 0}));

    // A smaller destination takes what fits.
    std::vector<uint8_t> ten(10, 9);
    ASSERT_TRUE(CheckBitReply(1, 1, error, reply.data(), 7, ten));
    EXPECT_EQ(ten[9], 1);

    struct Case {
        const char* what;
        std::vector<uint8_t> reply;
        std::string_view text;
    } cases[] = {
        {"five bytes", WithCrc({0x01, 0x02, 0x00}), DeviceText::BadReplyLength},
        {"byte count disagrees with length", WithCrc({0x01, 0x02, 0x02, 0xFF}),
         DeviceText::BadReplyByteCount},
        {"wrong function", WithCrc({0x01, 0x01, 0x01, 0xFF}), DeviceText::BadReplyFunction},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> out(16);
        EXPECT_FALSE(
            CheckBitReply(1, 2, error, c.reply.data(), static_cast<int32_t>(c.reply.size()), out))
            << c.what;
        EXPECT_EQ(error, c.text) << c.what;
    }

    // More than 2,000 bits never pass, even with a consistent byte count.
    std::vector<uint8_t> huge{0x01, 0x02, 251};
    huge.resize(3 + 251, 0xFF);
    huge = WithCrc(huge);
    std::vector<uint8_t> out(2008);
    EXPECT_FALSE(CheckBitReply(1, 2, error, huge.data(), static_cast<int32_t>(huge.size()), out));
    EXPECT_EQ(error, DeviceText::BadReplyByteCount);
}

TEST(PictureAck, ChecksRunInOrderWithTheirTexts) {
    struct Case {
        const char* what;
        uint8_t function;
        int32_t echo;
        std::vector<uint8_t> reply;
        std::string_view text; // empty: accepted
    } cases[] = {
        {"start acknowledged", 0x41, 0, WithCrc({1, 0x41, 0, 0x77}), {}},
        {"start with the CRC high byte first",
         0x41,
         0,
         {1, 0x41, 0, 0, 0xCC, 0x51},
         DeviceText::BadCrc},
        {"start from another address", 0x41, 0, WithCrc({2, 0x41, 0, 0}),
         DeviceText::BadReplyAddress},
        {"start echoing another slot", 0x41, 5, WithCrc({1, 0x41, 4, 0}),
         DeviceText::BadReplyFunction},
        {"block 300 echoed as 0x2C", 0x42, 300, WithCrc({1, 0x42, 0x2C, 0}), {}},
        {"block echo wrong", 0x42, 3, WithCrc({1, 0x42, 2, 0}), DeviceText::BadReplyBlock},
        {"block answered with the end function", 0x42, 3, WithCrc({1, 0x43, 3, 0}),
         DeviceText::BadReplyFunction},
        {"end acknowledged", 0x43, 0, WithCrc({1, 0x43, 0x99}), {}},
        {"end with bad CRC", 0x43, 0, {1, 0x43, 0, 0x30, 0x12}, DeviceText::BadCrc},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_EQ(CheckPictureAck(1, c.function, c.echo, error, c.reply.data(),
                                  static_cast<int32_t>(c.reply.size())),
                  c.text.empty())
            << c.what;
        EXPECT_EQ(error, c.text) << c.what;
    }
}

class Transaction : public ::testing::Test {
protected:
    ScriptedSerialPort port;
    SerialComCtl link{port};
    ModbusRtuProtocol protocol;
    std::string error;

    void SetUp() override { ASSERT_TRUE(link.Open(1, 9600, error, 1, 8, 0)); }

    bool ReadHolding(uint16_t* into, int32_t count,
                     RequestKind kind = RequestKind::HoldingRegisters) {
        ModbusRequest request;
        request.kind = kind;
        request.address = 1;
        request.start = 0x2000;
        request.count = count;
        request.registers = {into, static_cast<size_t>(count)};
        return protocol.Transact(link, request, error);
    }
};

TEST_F(Transaction, SendsTheRequestAndDecodesTheReply) {
    port.QueueIncoming(WithCrc({0x01, 0x03, 0x02, 0xBE, 0xEF}));
    uint16_t word = 0;
    ASSERT_TRUE(ReadHolding(&word, 1));
    EXPECT_EQ(word, 0xBEEF);
    EXPECT_EQ(port.Written(),
              (std::vector<uint8_t>{0x01, 0x03, 0x20, 0x00, 0x00, 0x01, 0x8F, 0xCA}));
}

TEST_F(Transaction, AnInvalidKindFailsAndCounts) {
    uint16_t word = 0;
    EXPECT_FALSE(ReadHolding(&word, 1, static_cast<RequestKind>(2)));
    EXPECT_EQ(error, DeviceText::InvalidRequestKind);
    EXPECT_EQ(protocol.failureCount(), 1);
    EXPECT_EQ(port.CountOf(ScriptedSerialPort::Operation::Write), 0);
}

TEST_F(Transaction, RefusesACountWhoseReplyCannotFitTheReceiveBuffer) {
    std::vector<uint16_t> words(200);
    ModbusRequest request;
    request.kind = RequestKind::InputRegisters;
    request.address = 1;
    request.count = 200;
    request.registers = words;
    EXPECT_FALSE(protocol.Transact(link, request, error));
    EXPECT_EQ(error, DeviceText::InvalidRequestKind);
    EXPECT_EQ(port.CountOf(ScriptedSerialPort::Operation::Write), 0);
}

TEST_F(Transaction, EleventhFailureInARowReopensOnce) {
    uint16_t word = 0;
    auto opens = [&] { return port.CountOf(ScriptedSerialPort::Operation::Open); };
    // A success in between resets the count.
    for (int i = 0; i < 10; ++i)
        EXPECT_FALSE(ReadHolding(&word, 1));
    port.QueueIncoming(WithCrc({0x01, 0x03, 0x02, 0x00, 0x01}));
    EXPECT_TRUE(ReadHolding(&word, 1));
    EXPECT_EQ(protocol.failureCount(), 0);
    for (int i = 0; i < 10; ++i)
        EXPECT_FALSE(ReadHolding(&word, 1));
    EXPECT_EQ(opens(), 1);
    EXPECT_FALSE(ReadHolding(&word, 1));
    EXPECT_EQ(opens(), 2) << "the eleventh failure reopens";
    EXPECT_EQ(protocol.failureCount(), 0);
    using Op = ScriptedSerialPort::Operation;
    const auto& calls = port.calls;
    ASSERT_GE(calls.size(), 4u);
    EXPECT_EQ(calls[calls.size() - 4].operation, Op::Close);
    EXPECT_EQ(calls[calls.size() - 3].operation, Op::Open);
    EXPECT_FALSE(ReadHolding(&word, 1));
    EXPECT_EQ(protocol.failureCount(), 1) << "the twelfth counts as the first again";
    EXPECT_EQ(error, DeviceText::ReceiveTimeout);
}

TEST_F(Transaction, AFailedReopenLeavesItsText) {
    uint16_t word = 0;
    port.openResults = {PortResult::NoSuchPort};
    for (int i = 0; i < 11; ++i)
        EXPECT_FALSE(ReadHolding(&word, 1));
    EXPECT_EQ(error, DeviceText::NoSuchPort);
}

TEST_F(Transaction, PictureBlockWaitsSixTimesForItsAcknowledgement) {
    std::vector<uint8_t> block(512, 0x5A);
    PictureFrameRequest request;
    request.address = 1;
    request.data = block;
    request.blockNumber = 256;
    // The acknowledgement only comes after three empty receives (150 reads of nothing).
    int writes = 0;
    port.onWrite = [&](const std::vector<uint8_t>&) { ++writes; };
    port.readResults.assign(150, 0);
    port.QueueIncoming(WithCrc({1, 0x42, 0x00, 0}));
    EXPECT_TRUE(protocol.SendPictureBlock(link, request, error));
    EXPECT_EQ(writes, 1);

    // Never acknowledged: six receives of fifty reads each, then false.
    const int readsBefore = port.CountOf(ScriptedSerialPort::Operation::Read);
    EXPECT_FALSE(protocol.SendPictureBlock(link, request, error));
    EXPECT_EQ(port.CountOf(ScriptedSerialPort::Operation::Read) - readsBefore, 6 * 50);
    EXPECT_EQ(protocol.failureCount(), 0) << "picture frames do not count failures";
}
