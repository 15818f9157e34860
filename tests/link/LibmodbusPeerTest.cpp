// The exchange against an independent Modbus RTU slave built on libmodbus:
// our frames must satisfy its parser and CRC, its answers must satisfy ours.
#include <gtest/gtest.h>
#include <modbus/modbus.h>

#include <cstring>

#include "tests/link/ExchangeFixture.h"

namespace virs {
namespace {

using test::ExchangeFixture;

constexpr int PeerAddress = 17;
constexpr int PeerRegisters = 400;

// A libmodbus RTU server speaking on the master side of the pseudo-terminal.
class TLibmodbusSlave {
public:
    explicit TLibmodbusSlave(int fd) {
        Context = modbus_new_rtu("/dev/null", 115200, 'N', 8, 1); // device unused: fd below
        Map = modbus_mapping_new(0, 0, PeerRegisters, 0);
        if (!Context || !Map)
            throw std::runtime_error("libmodbus set-up failed");
        modbus_set_slave(Context, PeerAddress);
        modbus_set_socket(Context, fd);
        modbus_set_indication_timeout(Context, 0, 50000);
        for (int i = 0; i < PeerRegisters; ++i)
            Map->tab_registers[i] = static_cast<std::uint16_t>(0x4000 + 7 * i);
        Thread = std::thread([this] { Serve(); });
    }
    ~TLibmodbusSlave() {
        Stop = true;
        Thread.join();
        modbus_mapping_free(Map);
        modbus_free(Context); // the descriptor belongs to the pseudo-terminal
    }
    TLibmodbusSlave(const TLibmodbusSlave&) = delete;
    TLibmodbusSlave& operator=(const TLibmodbusSlave&) = delete;

    std::uint16_t RegisterValue(int i) {
        std::lock_guard lock(Mutex);
        return Map->tab_registers[i];
    }

private:
    void Serve() {
        std::uint8_t query[MODBUS_RTU_MAX_ADU_LENGTH];
        while (!Stop) {
            int n = modbus_receive(Context, query);
            if (n <= 0)
                continue; // time-out of the wait for a request
            std::lock_guard lock(Mutex);
            modbus_reply(Context, query, n, Map);
        }
    }

    modbus_t* Context = nullptr;
    modbus_mapping_t* Map = nullptr;
    std::mutex Mutex;
    std::atomic<bool> Stop{false};
    std::thread Thread;
};

using LibmodbusPeer = ExchangeFixture;

TEST_F(LibmodbusPeer, ReadAcrossChunkBoundaries) {
    TLibmodbusSlave slave(Pty.Master);
    Job(3, 30, 100, 2, 32, PeerAddress); // 32 + 32 + 32 + 4
    Run();
    ASSERT_EQ(X.ResultCode, ResultSuccess) << ExchangeResultMessage(X.ResultCode);
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(Register(static_cast<std::size_t>(i)), 0x4000 + 7 * (30 + i)) << i;
    EXPECT_EQ(LogLines().size(), 8u);
}

TEST_F(LibmodbusPeer, WriteAcrossChunkBoundaries) {
    TLibmodbusSlave slave(Pty.Master);
    Job(16, 250, 70, 2, 32, PeerAddress); // 32 + 32 + 6
    for (std::uint16_t i = 0; i < 70; ++i) {
        std::uint16_t v = static_cast<std::uint16_t>(0xB000 + 3 * i);
        std::memcpy(Data.data() + 2 * i, &v, 2);
    }
    Run();
    ASSERT_EQ(X.ResultCode, ResultSuccess) << ExchangeResultMessage(X.ResultCode);
    for (int i = 0; i < 70; ++i)
        ASSERT_EQ(slave.RegisterValue(250 + i), 0xB000 + 3 * i) << i;
    EXPECT_EQ(slave.RegisterValue(249), 0x4000 + 7 * 249);
    EXPECT_EQ(slave.RegisterValue(320), 0x4000 + 7 * 320);
    // Read back through the same exchange.
    Job(3, 248, 74, 1, 32, PeerAddress);
    Run();
    ASSERT_EQ(X.ResultCode, ResultSuccess);
    EXPECT_EQ(Register(2), 0xB000);
    EXPECT_EQ(Register(71), 0xB000 + 3 * 69);
}

TEST_F(LibmodbusPeer, ExceptionAnswerEndsTheJobWithItsCode) {
    TLibmodbusSlave slave(Pty.Master);
    // Chunks 380, 390 and 400: the third lies beyond the device's 400 registers.
    Job(3, 380, 30, 2, 10, PeerAddress);
    Run();
    EXPECT_EQ(X.ResultCode, 2); // illegal data address
    EXPECT_EQ(ExchangeResultMessage(X.ResultCode),
              "Адрес данных указанный в запросе не доступен данному подчиненному");
    EXPECT_EQ(Register(19), 0x4000 + 7 * 399); // the good chunks are stored
    EXPECT_EQ(Register(20), 0xEEEE);
    EXPECT_EQ(LogLines().size(), 2u * 2 + 2u * 2); // two good chunks, two failed attempts
}

} // namespace
} // namespace virs
