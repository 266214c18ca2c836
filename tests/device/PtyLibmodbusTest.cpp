// Our master against an independent Modbus RTU server (libmodbus) over a pseudo-terminal.

#include "device/DeviceTexts.h"
#include "device/ModbusRtuImpl.h"
#include "device/PosixSerialPort.h"

#include <gtest/gtest.h>
#include <modbus/modbus.h>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

// A libmodbus RTU server answering as address 1 on the master side of a pseudo-terminal.
class LibmodbusServer {
public:
    LibmodbusServer() {
        master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        char name[128] = {};
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 ||
            ptsname_r(master, name, sizeof name) != 0)
            return;
        path = name;
        // Held open so the terminal stays up while the master under test closes and reopens.
        slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios tio;
        tcgetattr(slave, &tio);
        cfmakeraw(&tio);
        tcsetattr(slave, TCSANOW, &tio);

        // The context only needs a descriptor: it serves on the master side we already have.
        context = modbus_new_rtu(path.c_str(), 9600, 'N', 8, 1);
        modbus_set_socket(context, master);
        modbus_set_slave(context, 1);
        // Without a short response timeout it loses the framing after a request for another
        // address; the indication timeout lets the loop see the stop flag.
        modbus_set_response_timeout(context, 0, 50'000);
        modbus_set_indication_timeout(context, 0, 100'000);
        map = modbus_mapping_new_start_address(0, 0, 0, 0, 0x1000, 0x1004, 0x7000, 22);
    }

    ~LibmodbusServer() {
        stop = true;
        if (thread.joinable())
            thread.join();
        if (map)
            modbus_mapping_free(map);
        // Not modbus_close: it would restore a terminal setting it never saved.
        if (context)
            modbus_free(context);
        if (slave >= 0)
            close(slave);
        if (master >= 0)
            close(master);
    }

    bool Ready() const { return context && map && slave >= 0; }
    const std::string& DevicePath() const { return path; }
    uint16_t& Holding(int address) { return map->tab_registers[address - 0x1000]; }
    uint16_t& Input(int address) { return map->tab_input_registers[address - 0x7000]; }

    void Start() {
        thread = std::thread([this] {
            uint8_t query[MODBUS_RTU_MAX_ADU_LENGTH];
            while (!stop) {
                const int length = modbus_receive(context, query);
                if (length > 0)
                    modbus_reply(context, query, length, map);
                else if (length < 0 && errno != ETIMEDOUT)
                    modbus_flush(context);
            }
        });
    }

private:
    int master = -1;
    int slave = -1;
    std::string path;
    modbus_t* context = nullptr;
    modbus_mapping_t* map = nullptr;
    std::atomic<bool> stop{false};
    std::thread thread;
};

class AgainstLibmodbus : public ::testing::Test {
protected:
    LibmodbusServer server;
    PosixSerialPort port{[this](int32_t) { return server.DevicePath(); }};
    DeviceRecords records;
    ModbusRtuImpl connection{port, records};

    void SetUp() override {
        ASSERT_TRUE(server.Ready());
        // Identification, channel 3's block and the live block, typed in independently of the
        // register map constants.
        for (int r = 0; r < 4; ++r)
            server.Holding(0x2000 + r) = static_cast<uint16_t>(0x0100 + r);
        const int channel3 = 0x1000 + 2 * 17;
        server.Holding(channel3 + 3) = 2;  // two decimals
        server.Holding(channel3 + 4) = 20; // %
        server.Holding(channel3 + 8) = 9000;
        server.Holding(channel3 + 10) = 8000;
        server.Holding(channel3 + 12) = static_cast<uint16_t>(-2000);
        server.Holding(channel3 + 14) = static_cast<uint16_t>(-3000);
        const uint16_t clock[6] = {26, 12, 10, 23, 59, 58};
        for (int r = 0; r < 6; ++r)
            server.Input(0x7000 + r) = clock[r];
        server.Input(0x7006 + 2) = 8500;                         // channel 3: 85.00, above Cap
        server.Input(0x7006 + 15) = static_cast<uint16_t>(-123); // channel 16, never configured
        server.Start();
        records.commSettings = {1, 9600, 1, 8, 0, 1, {}};
        records.commSettings.channelEnabled[2] = true;
        ASSERT_TRUE(connection.OpenLink()) << records.lastError;
    }
};

} // namespace

TEST_F(AgainstLibmodbus, HoldingAndInputRegisters) {
    ASSERT_TRUE(connection.Connect()) << records.lastError;
    const ChannelConfig& config = records.channelConfig[2];
    EXPECT_EQ(config.decimalCode, 2);
    EXPECT_EQ(config.unitCode, 20);
    EXPECT_FLOAT_EQ(config.upperLimit, 90.0f);
    EXPECT_FLOAT_EQ(config.capLimit, 80.0f);
    EXPECT_FLOAT_EQ(config.floorLimit, -20.0f);
    EXPECT_FLOAT_EQ(config.lowerLimit, -30.0f);

    ASSERT_TRUE(connection.ReadLiveValues()) << records.lastError;
    const LiveSnapshot& live = records.liveSnapshot;
    EXPECT_EQ(FormatDateTime(live.instrumentTime, ReadoutTimePattern), "2026-12-10 23:59:58");
    EXPECT_FLOAT_EQ(live.value[2], 85.0f);
    EXPECT_TRUE(live.aboveCap[2]);
    EXPECT_FALSE(live.aboveUpper[2]);
    EXPECT_FLOAT_EQ(live.value[15], -0.0123f);
    EXPECT_TRUE(live.belowLower[15]);
}

TEST_F(AgainstLibmodbus, ARequestForAnotherAddressTimesOutAndTheNextOneWorks) {
    records.commSettings.address = 2;
    EXPECT_FALSE(connection.ReadIdentification());
    EXPECT_EQ(records.lastError, DeviceText::ReceiveTimeout);
    records.commSettings.address = 1;
    EXPECT_TRUE(connection.ReadIdentification()) << records.lastError;
    EXPECT_EQ(connection.protocol().failureCount(), 0);
}
