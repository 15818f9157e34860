// The firmware loader's byte protocol and its faults.

#include <gtest/gtest.h>

#include <fstream>

#include "sim/Bootloader.h"
#include "tests/sim/SimTestSupport.h"

namespace virs::sim {
namespace {

Bytes Image() {
    Bytes img(BootBlocks * BootBlockSize);
    for (std::size_t i = 0; i < img.size(); ++i)
        img[i] = static_cast<u8>(i * 7 + i / 256);
    return img;
}

// Runs the host's side: handshake, start, the blocks; returns the answers per block.
Bytes Program(TBootloader& boot, u32 baud, bool& handshakeOk) {
    Bytes reply;
    handshakeOk = boot.TakeHandshake(BootHandshake, baud, reply) && reply == Bytes{BootHandshake};
    Bytes answers;
    if (!handshakeOk)
        return answers;
    EXPECT_TRUE(boot.Receive({BootStart}).empty());
    const Bytes img = Image();
    for (int k = 0; k < BootBlocks; ++k) {
        // Blocks may arrive in pieces; the answer comes after the 256th byte.
        const auto first = img.begin() + k * BootBlockSize;
        EXPECT_TRUE(boot.Receive(Bytes(first, first + 100)).empty());
        const Bytes a = boot.Receive(Bytes(first + 100, first + BootBlockSize));
        answers.insert(answers.end(), a.begin(), a.end());
    }
    return answers;
}

TEST(Bootloader, TakesTheWholeImageAndWritesIt) {
    test::TempFolder dir;
    TBootloaderConfig config;
    config.Enabled = true;
    config.ImageFile = dir.Path() / "image.vrs";
    TBootloader boot(config);
    bool ok = false;
    const Bytes answers = Program(boot, 115200, ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(answers.size(), 128u);
    for (int k = 0; k < 128; ++k)
        EXPECT_EQ(answers[k], k);
    EXPECT_TRUE(boot.Complete());
    EXPECT_FALSE(boot.Active());
    std::ifstream in(config.ImageFile, std::ios::binary);
    const Bytes written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(written, Image());
}

struct BootFaultCase {
    const char* Name;
    TBootloaderConfig Spec;
    u32 Baud;
    bool HandshakeOk;
    std::size_t Answers;
};

TBootloaderConfig Boot(bool refuse, int silentAfter, int reply = -1) {
    TBootloaderConfig s;
    s.Enabled = true;
    s.RefuseHandshake = refuse;
    s.SilentAfterBlock = silentAfter;
    if (reply >= 0)
        s.HandshakeReply = static_cast<u8>(reply);
    return s;
}

class BootloaderFaults : public ::testing::TestWithParam<BootFaultCase> {};

TEST_P(BootloaderFaults, Behave) {
    const auto& c = GetParam();
    TBootloader boot(c.Spec);
    bool ok = false;
    const Bytes answers = Program(boot, c.Baud, ok);
    EXPECT_EQ(ok, c.HandshakeOk);
    EXPECT_EQ(answers.size(), c.Answers);
    EXPECT_FALSE(boot.Complete());
}

INSTANTIATE_TEST_SUITE_P(
    Sim, BootloaderFaults,
    ::testing::Values(BootFaultCase{"Refuses", Boot(true, -1), 115200, false, 0},
                      BootFaultCase{"WrongReply", Boot(false, -1, 0x55), 115200, false, 0},
                      BootFaultCase{"WrongSpeed", Boot(false, -1), 9600, false, 0},
                      BootFaultCase{"SilentAfter5", Boot(false, 5), 115200, true, 5},
                      BootFaultCase{"SilentAtOnce", Boot(false, 0), 115200, true, 0}),
    [](const auto& row) { return std::string(row.param.Name); });

TEST(Bootloader, DisabledIgnoresTheHandshake) {
    TBootloader boot(TBootloaderConfig{});
    Bytes reply;
    EXPECT_FALSE(boot.TakeHandshake(BootHandshake, 115200, reply));
    EXPECT_TRUE(reply.empty());
}

} // namespace
} // namespace virs::sim
