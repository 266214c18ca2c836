#include "DeviceTestSupport.h"

#include "device/DeviceTexts.h"
#include "device/ModbusRtuImpl.h"

#include <gtest/gtest.h>

TEST(ScaleRaw, CountsDecimalsFromTheLeftOfFour) {
    struct Case {
        int16_t raw;
        uint16_t code;
        double value;
    } cases[] = {
        {12345, 1, 12.345},    {-250, 3, -25.0},     {12345, 7, 12345.0}, {12345, 4, 12345.0},
        {-32768, 4, -32768.0}, {-32768, 0, -3.2768}, {5, 2, 0.05},
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(ScaleRaw(c.raw, c.code), c.value) << c.raw << " code " << c.code;
    // Repeated multiplication by 0.1, not division: the results are those products.
    EXPECT_EQ(ScaleRaw(12345, 1), 12345.0 * 0.1 * 0.1 * 0.1);
}

TEST(Alarms, FirstMatchingCaseWinsAndComparisonsAreStrict) {
    ChannelConfig config;
    config.upperLimit = 90;
    config.capLimit = 80;
    config.floorLimit = 20;
    config.lowerLimit = 10;
    struct Case {
        float value;
        bool upper, cap, floor, lower;
    } cases[] = {
        {90.0f, false, true, false, false},  {90.001f, true, true, false, false},
        {80.0f, false, false, false, false}, {50.0f, false, false, false, false},
        {20.0f, false, false, false, false}, {19.9f, false, false, true, false},
        {10.0f, false, false, true, false},  {9.9f, false, false, true, true},
    };
    for (const auto& c : cases) {
        LiveSnapshot snapshot;
        snapshot.value[3] = c.value;
        snapshot.aboveUpper[3] = snapshot.belowLower[3] = true; // stale flags are cleared
        EvaluateAlarms(config, snapshot, 3);
        EXPECT_EQ(snapshot.aboveUpper[3], c.upper) << c.value;
        EXPECT_EQ(snapshot.aboveCap[3], c.cap) << c.value;
        EXPECT_EQ(snapshot.belowFloor[3], c.floor) << c.value;
        EXPECT_EQ(snapshot.belowLower[3], c.lower) << c.value;
    }
    // Limits never read are all 0: a positive value is "above", a negative one "below".
    LiveSnapshot snapshot;
    snapshot.value[0] = 1;
    snapshot.value[1] = -1;
    EvaluateAlarms(ChannelConfig{}, snapshot, 0);
    EvaluateAlarms(ChannelConfig{}, snapshot, 1);
    EXPECT_TRUE(snapshot.aboveUpper[0] && snapshot.aboveCap[0] && !snapshot.belowFloor[0]);
    EXPECT_TRUE(snapshot.belowLower[1] && snapshot.belowFloor[1] && !snapshot.aboveCap[1]);
}

TEST(InstrumentTime, AcceptsEveryValidDateAndRefusesTheRest) {
    DateTime time = -1;
    const uint16_t good[6] = {15, 3, 16, 8, 5, 9};
    ASSERT_TRUE(InstrumentTimeFromFields(good, time));
    EXPECT_EQ(FormatDateTime(time, ReadoutTimePattern), "2015-03-16 08:05:09");
    const uint16_t leap[6] = {24, 2, 29, 23, 59, 59};
    EXPECT_TRUE(InstrumentTimeFromFields(leap, time));
    const uint16_t bad[][6] = {{15, 2, 30, 0, 0, 0}, {15, 13, 1, 0, 0, 0},
                               {15, 1, 0, 0, 0, 0},  {15, 1, 1, 24, 0, 0},
                               {15, 1, 1, 0, 60, 0}, {100, 1, 1, 0, 0, 0},
                               {23, 2, 29, 0, 0, 0}, {65535, 65535, 65535, 65535, 65535, 65535}};
    for (const auto& fields : bad)
        EXPECT_FALSE(InstrumentTimeFromFields(fields, time)) << fields[0] << "-" << fields[1];
}

class Connection : public ::testing::Test {
protected:
    ScriptedSerialPort port;
    TableInstrument instrument;
    DeviceRecords records;
    ModbusRtuImpl connection{port, records};

    void SetUp() override {
        records.commSettings = {1, 9600, 1, 8, 0, 1, {}};
        instrument.Attach(port);
        for (int r = 0; r < 4; ++r)
            instrument.holding[0x2000 + r] = static_cast<uint16_t>(r);
        ASSERT_TRUE(connection.OpenLink());
    }

    // Channel k's 17 configuration registers.
    void Configure(int k, uint16_t decimalCode, uint16_t unitCode, int16_t upper, int16_t cap,
                   int16_t floor, int16_t lower) {
        const int base = 0x1000 + 17 * k;
        for (int r = 0; r < 17; ++r)
            instrument.holding[base + r] = 0;
        instrument.holding[base + 3] = decimalCode;
        instrument.holding[base + 4] = unitCode;
        instrument.holding[base + 8] = static_cast<uint16_t>(upper);
        instrument.holding[base + 10] = static_cast<uint16_t>(cap);
        instrument.holding[base + 12] = static_cast<uint16_t>(floor);
        instrument.holding[base + 14] = static_cast<uint16_t>(lower);
    }

    void SetLive(std::array<uint16_t, 6> clock, std::array<int16_t, 16> raw) {
        for (int r = 0; r < 6; ++r)
            instrument.input[0x7000 + r] = clock[r];
        for (int k = 0; k < 16; ++k)
            instrument.input[0x7006 + k] = static_cast<uint16_t>(raw[k]);
    }
};

TEST_F(Connection, WithNoChannelSelectedOnlyIdentifies) {
    EXPECT_TRUE(connection.Connect());
    EXPECT_EQ(instrument.starts, (std::vector<int>{0x2000}));
}

TEST_F(Connection, ReadsEachSelectedChannelInTwoRequests) {
    records.commSettings.channelEnabled[1] = records.commSettings.channelEnabled[15] = true;
    Configure(1, 3, 19, 900, 800, 200, 100);
    Configure(15, 1, 200, -1000, -2000, -3000, -32768);
    ASSERT_TRUE(connection.Connect());
    EXPECT_EQ(instrument.starts, (std::vector<int>{0x2000, 0x1011, 0x1021, 0x10FF, 0x110F}));
    const ChannelConfig& two = records.channelConfig[1];
    EXPECT_EQ(two.decimalCode, 3);
    EXPECT_EQ(two.unitCode, 19);
    EXPECT_FLOAT_EQ(two.upperLimit, 90.0f);
    EXPECT_FLOAT_EQ(two.capLimit, 80.0f);
    EXPECT_FLOAT_EQ(two.floorLimit, 20.0f);
    EXPECT_FLOAT_EQ(two.lowerLimit, 10.0f);
    EXPECT_FLOAT_EQ(records.channelConfig[15].lowerLimit, -32.768f);
    EXPECT_EQ(records.channelConfig[0].unitCode, 0) << "unselected channels stay unread";
}

TEST_F(Connection, AChannelGetsASecondTry) {
    records.commSettings.channelEnabled[0] = records.commSettings.channelEnabled[2] = true;
    Configure(0, 4, 1, 1, 1, 1, 1);
    Configure(2, 4, 2, 1, 1, 1, 1);
    instrument.silentRequests = 0;
    // Fail the first request of channel 1 only: answered once the silence has been used up.
    port.onWrite = [this, inner = port.onWrite,
                    silenced = false](const std::vector<uint8_t>& request) mutable {
        if (!silenced && request[2] == 0x10 && request[3] == 0x00) {
            silenced = true;
            instrument.starts.push_back(0x1000);
            return;
        }
        inner(request);
    };
    ASSERT_TRUE(connection.Connect());
    EXPECT_EQ(instrument.starts,
              (std::vector<int>{0x2000, 0x1000, 0x1000, 0x1010, 0x1022, 0x1032}));
    EXPECT_EQ(records.channelConfig[2].unitCode, 2);
}

TEST_F(Connection, AChannelFailingTwiceEndsTheConnect) {
    records.commSettings.channelEnabled[0] = records.commSettings.channelEnabled[1] = true;
    Configure(1, 4, 2, 1, 1, 1, 1); // channel 1 has no registers: never answered
    EXPECT_FALSE(connection.Connect());
    EXPECT_EQ(instrument.starts, (std::vector<int>{0x2000, 0x1000, 0x1000}));
    EXPECT_EQ(records.lastError, DeviceText::ReceiveTimeout);
    EXPECT_EQ(records.channelConfig[1].unitCode, 0) << "later channels are not read";
}

TEST_F(Connection, ASecondPartFailureKeepsTheFirstPart) {
    Configure(4, 2, 20, 1, 1, 1, 1);
    instrument.holding.erase(0x1000 + 17 * 4 + 16);
    EXPECT_FALSE(connection.ReadChannelConfig(4));
    EXPECT_EQ(records.channelConfig[4].unitCode, 20);
}

TEST_F(Connection, LiveValuesScaleAndRaiseAlarms) {
    records.commSettings.channelEnabled[0] = true;
    Configure(0, 3, 19, 900, 800, 200, 100);
    ASSERT_TRUE(connection.Connect());
    std::array<int16_t, 16> raw{};
    raw[0] = 901;
    raw[1] = -32768; // never configured: code 0, four decimals
    raw[15] = 7;
    SetLive({15, 3, 16, 8, 5, 9}, raw);
    records.lastError = "stale";
    ASSERT_TRUE(connection.ReadLiveValues());
    const LiveSnapshot& live = records.liveSnapshot;
    EXPECT_TRUE(records.lastError.empty());
    EXPECT_EQ(FormatDateTime(live.instrumentTime, ReadoutTimePattern), "2015-03-16 08:05:09");
    EXPECT_EQ(live.timeFields, (std::array<uint16_t, 6>{15, 3, 16, 8, 5, 9}));
    EXPECT_FLOAT_EQ(live.value[0], 90.1f);
    EXPECT_TRUE(live.aboveUpper[0] && live.aboveCap[0]);
    EXPECT_FLOAT_EQ(live.value[1], -3.2768f);
    EXPECT_TRUE(live.belowLower[1] && live.belowFloor[1]);
    EXPECT_FLOAT_EQ(live.value[15], 0.0007f);
    EXPECT_EQ(instrument.starts.back(), 0x7000);
}

TEST_F(Connection, AnInvalidClockDiscardsTheWholeRead) {
    std::array<int16_t, 16> raw{};
    raw[0] = 100;
    SetLive({15, 3, 16, 8, 5, 9}, raw);
    ASSERT_TRUE(connection.ReadLiveValues());
    const DateTime before = records.liveSnapshot.instrumentTime;
    raw[0] = 200;
    SetLive({15, 2, 30, 8, 5, 9}, raw);
    EXPECT_FALSE(connection.ReadLiveValues());
    EXPECT_EQ(records.liveSnapshot.instrumentTime, before);
    EXPECT_FLOAT_EQ(records.liveSnapshot.value[0], 0.01f);
}

TEST_F(Connection, PictureFramesUseTheSettingsAddress) {
    records.commSettings.address = 0x107; // low 8 bits on the wire
    port.onWrite = [this](const std::vector<uint8_t>& frame) {
        if (frame[1] == 0x41)
            port.QueueIncoming(WithCrc({0x07, 0x41, frame[2], 0}));
        if (frame[1] == 0x42)
            port.QueueIncoming(WithCrc({0x07, 0x42, frame[2], 0}));
        if (frame[1] == 0x43)
            port.QueueIncoming(WithCrc({0x07, 0x43, 0}));
    };
    const std::vector<uint8_t> block(512, 1);
    records.lastError = "kept";
    EXPECT_TRUE(connection.StartPicture(5));
    EXPECT_TRUE(connection.SendPictureData(block, 1));
    EXPECT_TRUE(connection.EndPicture());
    EXPECT_EQ(records.lastError, "kept") << "picture frames do not clear lastError";
    const auto written = port.Written();
    ASSERT_EQ(written.size(), 11u + 517u + 10u);
    EXPECT_EQ(written[0], 0x07);
    EXPECT_EQ(written[2], 5);
}
