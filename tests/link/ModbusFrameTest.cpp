// Framing helpers checked against values worked out independently: the
// published CRC-16/MODBUS check value and the example frame of the device
// documentation (01 03 00 00 00 16 C4 04).
#include <gtest/gtest.h>

#include <cstring>

#include "link/ModbusFrame.h"

namespace virs {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(ModbusCrc, MatchesIndependentValues) {
    const char* check = "123456789";
    EXPECT_EQ(ModbusCrc(reinterpret_cast<const std::uint8_t*>(check), 9), 0x4B37);
    const Bytes example{0x01, 0x03, 0x00, 0x00, 0x00, 0x16};
    EXPECT_EQ(ModbusCrc(example.data(), example.size()), 0x04C4);
    const Bytes writeAnswer{0x11, 0x10, 0x00, 0x01, 0x00, 0x02};
    EXPECT_EQ(ModbusCrc(writeAnswer.data(), writeAnswer.size()), 0x9812);
    EXPECT_EQ(ModbusCrc(nullptr, 0), 0xFFFF);
}

TEST(ModbusRequest, ReadFrameOfTheExample) {
    TModbusRequest r = BuildModbusRequest(1, 3, 0, 22, nullptr);
    EXPECT_EQ(Bytes(r.Bytes, r.Bytes + r.Length),
              (Bytes{0x01, 0x03, 0x00, 0x00, 0x00, 0x16, 0xC4, 0x04}));
    EXPECT_EQ(r.ExpectedAnswerLength, 49u);
}

TEST(ModbusRequest, RecordHeaderFrameIsBuiltLikeARead) {
    TModbusRequest r = BuildModbusRequest(5, 67, 0x0102, 1, nullptr);
    ASSERT_EQ(r.Length, 8u);
    EXPECT_EQ(Bytes(r.Bytes, r.Bytes + 6), (Bytes{0x05, 0x43, 0x01, 0x02, 0x00, 0x01}));
    EXPECT_EQ(ModbusCrc(r.Bytes, 6), r.Bytes[6] | r.Bytes[7] << 8);
    EXPECT_EQ(r.ExpectedAnswerLength, 7u);
}

TEST(ModbusRequest, WriteFrameCarriesRegistersHighByteFirst) {
    const std::uint16_t registers[3] = {0x1234, 0xABCD, 0x0001}; // native words
    std::uint8_t data[6];
    std::memcpy(data, registers, sizeof data);
    TModbusRequest r = BuildModbusRequest(0x11, 16, 0x0001, 3, data);
    ASSERT_EQ(r.Length, 15u);
    EXPECT_EQ(Bytes(r.Bytes, r.Bytes + 13), (Bytes{0x11, 0x10, 0x00, 0x01, 0x00, 0x03, 0x06, 0x12,
                                                   0x34, 0xAB, 0xCD, 0x00, 0x01}));
    std::uint16_t crc = ModbusCrc(r.Bytes, 13);
    EXPECT_EQ(r.Bytes[13], crc & 0xFF);
    EXPECT_EQ(r.Bytes[14], crc >> 8);
    EXPECT_EQ(r.ExpectedAnswerLength, 8u);
}

TEST(HexDump, RendersEachByteAndTheCount) {
    const Bytes frame{0x01, 0x03, 0x00, 0x00, 0x00, 0x16, 0xC4, 0x04};
    EXPECT_EQ(HexDump(frame.data(), frame.size()),
              "0x01 0x03 0x00 0x00 0x00 0x16 0xC4 0x04 (8 байт)");
    EXPECT_EQ(HexDump(nullptr, 0), "(0 байт)");
    const Bytes odd{0xAB, 0xFF};
    EXPECT_EQ(HexDump(odd.data(), odd.size()), "0xAB 0xFF (2 байт)");
}

TEST(SwapCopyWords, ExchangesTheBytesOfEachWord) {
    const Bytes source{1, 2, 3, 4, 5};
    Bytes destination(5, 0xEE);
    SwapCopyWords(source.data(), destination.data(), 5); // an odd byte is not copied
    EXPECT_EQ(destination, (Bytes{2, 1, 4, 3, 0xEE}));
    Bytes inPlace{1, 2, 3, 4};
    SwapCopyWords(inPlace.data(), inPlace.data(), 4);
    EXPECT_EQ(inPlace, (Bytes{2, 1, 4, 3}));
}

TEST(ExchangeResultText, HasTheTwentyTwoTextsAndANeutralOneBeyond) {
    EXPECT_STREQ(ExchangeResultText[0], "Завершено успешно");
    EXPECT_STREQ(ExchangeResultText[12], "Превышен тайм-аут ожидания ответа");
    EXPECT_STREQ(ExchangeResultText[14], "Кол-во попыток запросов или длина пакета равны 0");
    EXPECT_STREQ(ExchangeResultText[21], "Архивная запись повреждена");
    for (std::size_t i = 0; i < ExchangeResultTextCount; ++i) {
        EXPECT_EQ(ExchangeResultMessage(static_cast<std::uint8_t>(i)), ExchangeResultText[i]);
        for (std::size_t j = 0; j < i; ++j)
            EXPECT_STRNE(ExchangeResultText[i], ExchangeResultText[j]);
    }
    std::string beyond = ExchangeResultMessage(200);
    EXPECT_NE(beyond.find("200"), std::string::npos);
    EXPECT_NE(ExchangeResultMessage(22), ExchangeResultMessage(23));
}

} // namespace
} // namespace virs
