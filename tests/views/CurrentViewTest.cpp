// The current and total values view against texts worked out by hand from the
// register tables.

#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "acquisition/WorkArea.h"
#include "model/DateTime.h"
#include "model/TextCodec.h"
#include "tests/views/TestImages.h"
#include "views/DeviceView.h"

namespace virs {
namespace {

using namespace test;
using Lines = std::vector<std::string>;

const TViewLocale Ru = RussianViewLocale();
const std::string Rule(51, '=');

Lines Render(const TDevice& device, int tab = 0) {
    DeviceWorkArea area;
    TDeviceViewText text = RenderDeviceView(tab, device, area, Ru);
    EXPECT_TRUE(text.Replaced);
    return text.Lines;
}

// ---- ВИРС-Ш ----

TDevice ShDevice(std::uint16_t state) {
    TDevice d = MakeDevice(DeviceVirsSh, "Котельная №2", 7);
    d.DataReadAt = EncodeDateTime(2024, 5, 6, 14, 3, 7);
    std::uint8_t* im = d.DataImage;
    PutU16(im, 0, state);
    PutF32(im, 2, 12.5f);
    PutF32(im, 6, 0.75f);
    PutU32(im, 10, 0);
    PutU32(im, 14, 1);
    PutU32(im, 18, 7200);
    PutU32(im, 22, 5400);
    PutU16(im, 26, 45000);
    PutU16(im, 28, 0x0905); // 09:05
    PutU16(im, 30, 360);
    PutU16(im, 32, 1234);
    PutU16(im, 34, 44000);
    PutU16(im, 36, 17);
    PutU16(im, 38, 44500);
    PutU16(im, 40, 0xBEEF); // not shown
    PutU16(im, 42, 3);
    return d;
}

TEST(ShCurrentView, WholeText) {
    const Lines expected = {
        "Котельная №2",
        "прибор: ВИРС-Ш",
        "сетевой номер: 7",
        "отчёт за 06.05.2024 14:03:07",
        "версия ПО адаптера: 3",
        "",
        "состояние прибора: ",
        "  режим: работа",
        "мгновенный расход, м3/час = 12,500",
        "скорость потока, м/с = 0,750",
        "объём жидкости, м3 = 4294,967",
        "время работы, часов = 2,0",
        "время простоя, часов = 1,5",
        "текущая дата и время прибора: 15.03.2023 09:05",
        "напряжение батареи, вольт: 3,60",
        "серийный номер прибора: 1234",
        "версия ПО прибора: 17",
        "дата изготовления прибора: 18.06.2020",
        "дата последней прошивки: 31.10.2021",
    };
    EXPECT_EQ(Joined(Render(ShDevice(0x0007))), Joined(expected));
}

const char* const Analog =
    "  измерения остановлены - неисправна аналоговая схема прибора, требуется ремонт";
const char* const Sensors = "  измерения остановлены - не подключены датчики";
const char* const FlowErrors = "  ошибки в измерениях текущего расхода";
const char* const Battery = "  измерения остановлены - напряжение батареи слишком низкое";
const char* const Tdc = "  измерения остановлены - нет связи с TDC";
const char* const NoArchive = "  архив недоступен";
const char* const Uart = "  UART активен";
const char* const Work = "  режим: работа";
const char* const Programming = "  режим: программирование";
const char* const Economy = "  экономичный режим";
const char* const Overflow = "  переполнение импульсного выхода";
const char* const FlowOk = "мгновенный расход, м3/час = 12,500";
const char* const FlowError = "мгновенный расход, м3/час = ошибка";

struct ShStateCase {
    std::uint16_t State;
    Lines StateLines; // between "состояние прибора: " and the flow line
    const char* Flow;
};

class ShStateTest : public ::testing::TestWithParam<ShStateCase> {};

TEST_P(ShStateTest, StateLinesAndFlowLine) {
    const ShStateCase& c = GetParam();
    const Lines lines = Render(ShDevice(c.State));
    Lines expected = {"состояние прибора: "};
    expected.insert(expected.end(), c.StateLines.begin(), c.StateLines.end());
    expected.push_back(c.Flow);
    ASSERT_GE(lines.size(), 6 + expected.size());
    const Lines got(lines.begin() + 6, lines.begin() + 6 + static_cast<long>(expected.size()));
    EXPECT_EQ(Joined(got), Joined(expected)) << std::hex << c.State;
    EXPECT_EQ(lines[6 + expected.size()], "скорость потока, м/с = 0,750");
}

INSTANTIATE_TEST_SUITE_P(
    Bits, ShStateTest,
    ::testing::Values(
        ShStateCase{0x0007, {Work}, FlowOk}, ShStateCase{0x0006, {Analog, Work}, FlowError},
        ShStateCase{0x0005, {Sensors, Work}, FlowError},
        ShStateCase{0x0003, {FlowErrors, Work}, FlowError},
        ShStateCase{0x000F, {Battery, Work}, FlowError},
        ShStateCase{0x0017, {Tdc, Work}, FlowError}, ShStateCase{0x0027, {NoArchive, Work}, FlowOk},
        ShStateCase{0x0047, {Uart, Work}, FlowOk}, ShStateCase{0x0087, {Programming}, FlowOk},
        ShStateCase{0x0107, {Work, Economy}, FlowOk}, ShStateCase{0x0207, {Work, Overflow}, FlowOk},
        ShStateCase{0xFC07, {Work}, FlowOk}, // bits 10..15 are not shown
        ShStateCase{0x0000, {Analog, Sensors, FlowErrors, Work}, FlowError},
        ShStateCase{0xFFF8,
                    {Analog, Sensors, FlowErrors, Battery, Tdc, NoArchive, Uart, Programming,
                     Economy, Overflow},
                    FlowError}));

TEST(ShCurrentView, DeviceTimeAndBattery) {
    TDevice d = ShDevice(7);
    PutU16(d.DataImage, 28, (12 << 8) | 30);
    PutU16(d.DataImage, 30, 1234);
    const Lines lines = Render(d);
    EXPECT_EQ(lines[13], "текущая дата и время прибора: 15.03.2023 12:30");
    // Three significant digits: the hundredths of 12,34 V are written as zero.
    EXPECT_EQ(lines[14], "напряжение батареи, вольт: 12,30");
}

// ---- ВИРС-Д, ВИРС-ДК ----

TDevice DDevice(std::uint8_t type) {
    TDevice d = MakeDevice(type, "", 12);
    d.DataReadAt = EncodeDateTime(2024, 1, 31, 9, 0, 0);
    std::uint8_t* im = d.DataImage;
    PutU32(im, 0, 12345);
    PutU32(im, 4, 12345);
    PutU32(im, 8, 12345);
    PutU32(im, 12, 7);
    PutU32(im, 16, 123456);
    PutU32(im, 20, 0);
    PutU32(im, 24, 10000);
    PutU32(im, 28, 4294967294u);
    PutF32(im, 80, 3.25f);
    PutF32(im, 84, 1.0f);
    PutF32(im, 88, 7.5f);
    PutF32(im, 92, -4.125f);
    PutF32(im, 96, 1.0f);
    PutF32(im, 100, 0.5f);
    PutF32(im, 104, std::nanf(""));
    PutF32(im, 108, 2.0f);
    PutF32(im, 112, 2.0f);
    PutF32(im, 116, 2.5f);
    PutF32(im, 120, 3.5f);
    PutF32(im, 124, 0.0f);
    return d;
}

TEST(DCurrentView, WholeText) {
    const Lines expected = {
        "прибор: ВИРС-Д",
        "сетевой номер: 12",
        "отчёт за 31.01.2024 9:00:00",
        "",
        "объёмный расход F1, м3/час = 3,250",
        "объёмный расход F2, м3/час = отказ",
        "накопленный объем V1, м3 = 1234,50",
        "накопленный объем V2, м3 = 1234,50",
        "накопленный объем V1, реверс, м3 = 12,3450",
        "накопленный объем V2, реверс, м3 = 70",
        "время наработки B1, часов = 12,346",
        "время наработки B2, часов = 0,000",
        "время наработки -B1, реверс, часов = 1,000",
        "время наработки -B2, реверс, часов = 429496,729",
    };
    EXPECT_EQ(Joined(Render(DDevice(DeviceVirsD))), Joined(expected));
}

TEST(DKCurrentView, FourChannels) {
    const Lines expected = {
        "прибор: ВИРС-ДК",
        "сетевой номер: 12",
        "отчёт за 31.01.2024 9:00:00",
        "",
        "объёмный расход F1, м3/час = 3,250",
        "объёмный расход F2, м3/час = отказ",
        "объёмный расход F3, м3/час = отказ",
        "объёмный расход F4, м3/час = -4,125",
        "накопленный объем V1, м3 = 1234,50",
        "накопленный объем V2, м3 = 1234,50",
        "накопленный объем V3, м3 = 12,3450",
        "накопленный объем V4, м3 = 70",
        "время наработки B1, часов = 12,346",
        "время наработки B2, часов = 0,000",
        "время наработки B3, часов = 1,000",
        "время наработки B4, часов = 429496,729",
    };
    EXPECT_EQ(Joined(Render(DDevice(DeviceVirsDK))), Joined(expected));
}

struct ScaleCase {
    float Code;
    std::uint32_t Count;
    const char* Shown;
};

class ScaleCodeTest : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(ScaleCodeTest, CounterLine) {
    const ScaleCase& c = GetParam();
    TDevice d = DDevice(DeviceVirsD);
    PutU32(d.DataImage, 0, c.Count);
    PutF32(d.DataImage, 112, c.Code);
    EXPECT_EQ(Render(d)[6], std::string("накопленный объем V1, м3 = ") + c.Shown) << c.Code;
}

INSTANTIATE_TEST_SUITE_P(
    Codes, ScaleCodeTest,
    ::testing::Values(ScaleCase{0.0f, 12345, "123450"}, ScaleCase{1.0f, 12345, "12345,0"},
                      ScaleCase{2.0f, 12345, "1234,50"}, ScaleCase{3.0f, 12345, "123,450"},
                      ScaleCase{4.0f, 12345, "12,3450"},
                      // Halves go to the even neighbour.
                      ScaleCase{0.5f, 12345, "123450"}, ScaleCase{1.5f, 12345, "1234,50"},
                      ScaleCase{2.5f, 12345, "1234,50"}, ScaleCase{3.5f, 12345, "12,3450"},
                      ScaleCase{4.5f, 12345, "12,3450"}, ScaleCase{2.51f, 12345, "123,450"},
                      // Outside the table: multiplier 10, S decimals.
                      ScaleCase{5.0f, 12345, "123450,00000"}, ScaleCase{7.0f, 1, "10,0000000"},
                      ScaleCase{258.0f, 12345, "1234,50"}, // taken as a byte: 2
                      ScaleCase{-0.4f, 12345, "123450"},
                      ScaleCase{4.0f, 4294967295u, "4294967,2950"},
                      ScaleCase{0.0f, 4294967295u, "42949672950"}));

TEST(DCurrentView, ChannelStateThreshold) {
    for (float state : {0.99f, 0.0f, -1.0f, std::nanf("")}) {
        TDevice d = DDevice(DeviceVirsD);
        PutF32(d.DataImage, 96, state);
        EXPECT_EQ(Render(d)[4], "объёмный расход F1, м3/час = отказ") << state;
    }
    for (float state : {1.0f, 1.5f, 1e30f}) {
        TDevice d = DDevice(DeviceVirsD);
        PutF32(d.DataImage, 96, state);
        EXPECT_EQ(Render(d)[4], "объёмный расход F1, м3/час = 3,250") << state;
    }
}

// ---- ВИРС-Д2 ----

TDevice D2Device(std::uint8_t scheme) {
    TDevice d = MakeDevice(DeviceVirsD2, "Узел учёта", 3);
    d.DataReadAt = EncodeDateTime(2007, 3, 1, 8, 5, 0);
    std::uint8_t* im = d.DataImage;
    PutU8(im, 2, 0x01);
    PutU8(im, 3, 0x01);
    PutU8(im, 4, 0xFE); // bit 0 clear: F3 failed
    PutU8(im, 5, 0xFF);
    PutF32(im, 6, 1.5f);
    PutF32(im, 10, 7.0f);
    PutF32(im, 14, 8.0f);
    PutF32(im, 18, 1e15f); // too wide for its column
    PutF32(im, 22, 101325.0f);
    PutF32(im, 26, 0.0f);
    PutF32(im, 30, 250000.0f);
    PutF32(im, 34, -1000.0f);
    PutU16(im, 38, (2 << 8) | 15);
    PutU8(im, 40, 23);
    PutU8(im, 41, 1);
    PutU8(im, 42, 30);
    PutU16(im, 44, 4321);
    PutU8(im, 46, 21);
    PutU8(im, 47, 11);
    PutU8(im, 48, 5);
    const std::uint32_t totals[4][6] = {
        {5, 250000, 7200, 1, 600000, 5400},
        {999, 0, 36000, 0, 0, 0},
        {123456, 999999, 3600, 0, 0, 0},
        {4294967295u, 0, 4294967295u, 0, 0, 0},
    };
    for (int k = 0; k < 4; ++k)
        for (int f = 0; f < 6; ++f)
            PutU32(im, 50 + 24 * k + 4 * f, totals[k][f]);
    const std::uint8_t clock[6] = {7, 3, 1, 8, 4, 9};
    for (int i = 0; i < 6; ++i)
        PutU8(im, 178 + i, clock[i]);
    PutU8(im, 184, scheme);
    return d;
}

TEST(D2CurrentView, WholeTextOfSchemeFour) {
    const Lines expected = {
        "Узел учёта",
        "прибор: ВИРС-Д2",
        "сетевой номер: 3",
        "отчёт за 01.03.2007 8:05:00",
        "",
        "Схема включения: 1 двухлучевой канал и 2 однолучевых канала",
        "",
        Rule,
        "                     СЧЁТЧИКИ",
        Rule,
        "                            |       F1       |       F3       |       F4       |",
        "Мгновенный расход, м3/час   " + Sp(12) + "1,500" + "           ошибка" + " " +
            std::string(16, '#'),
        "Объём жидкости, м3          " + Sp(12) + "5,250" + Sp(7) + "123457,000" + Sp(3) +
            "4294967295,000",
        "Время работы, часов         " + Sp(13) + "2,00" + Sp(13) + "1,00" + Sp(7) + "1193046,47",
        "Объём жидкости, м3 (реверс) " + Sp(12) + "1,600" + Sp(12) + "0,000" + Sp(12) + "0,000",
        "Время работы, часов (реверс)" + Sp(13) + "1,50" + Sp(13) + "0,00" + Sp(13) + "0,00",
        "",
        Rule,
        "                     ДАВЛЕНИЕ",
        Rule,
        "                            |       P1       |       P2       |       P3       |       P4 "
        "      |",
        "                        КПа " + Sp(10) + "101,325" + Sp(12) + "0,000" + Sp(10) +
            "250,000" + Sp(11) + "-1,000",
        "                        MПа " + Sp(12) + "0,101" + Sp(12) + "0,000" + Sp(12) + "0,250" +
            Sp(11) + "-0,001",
        "                        бар " + Sp(12) + "1,013" + Sp(12) + "0,000" + Sp(12) + "2,500" +
            Sp(11) + "-0,010",
        " (техническая атмосфера) ат " + Sp(12) + "1,033" + Sp(12) + "0,000" + Sp(12) + "2,549" +
            Sp(11) + "-0,010",
        "",
        "Текущая дата и время прибора: 01.03.07 08:04:09",
        "Серийный номер прибора: 4321",
        "Версия ПО прибора: 2.15",
        "Дата изготовления прибора: 05.11.21",
        "Дата последней прошивки: 30.01.23",
    };
    EXPECT_EQ(Joined(Render(D2Device(4))), Joined(expected));
}

TEST(D2CurrentView, PressureUnitLabelUsesLatinM) {
    const Lines lines = Render(D2Device(4));
    EXPECT_EQ(lines[22].substr(24, 1), "M"); // U+004D, not the Cyrillic letter
}

struct SchemeCase {
    std::uint8_t Scheme;
    const char* Text;
    const char* Heading;
    Lines FlowCells;
};

class D2SchemeTest : public ::testing::TestWithParam<SchemeCase> {};

TEST_P(D2SchemeTest, HeadingAndColumns) {
    const SchemeCase& c = GetParam();
    const Lines lines = Render(D2Device(c.Scheme));
    EXPECT_EQ(lines[5], std::string("Схема включения: ") + c.Text);
    EXPECT_EQ(lines[10], c.Heading);
    std::string flow = "Мгновенный расход, м3/час   ";
    for (const std::string& cell : c.FlowCells)
        flow += cell;
    EXPECT_EQ(lines[11], flow);
    // Every counter row has one 17-character cell per shown channel.
    for (int row = 12; row <= 15; ++row)
        EXPECT_EQ(Utf8Length(lines[static_cast<std::size_t>(row)]), 28 + 17 * c.FlowCells.size())
            << row;
    // The pressure table always has four columns.
    EXPECT_EQ(Utf8Length(lines[21]), 28u + 4 * 17);
}

const std::string F1 = Sp(12) + "1,500";
const std::string F2 = Sp(12) + "7,000";
const std::string F3 = "           ошибка";
const std::string F4 = " " + std::string(16, '#');

INSTANTIATE_TEST_SUITE_P(
    Schemes, D2SchemeTest,
    ::testing::Values(
        SchemeCase{
            0, "1 однолучевой канал", "                            |       F1       |", {F1}},
        SchemeCase{1,
                   "2 однолучевых канала",
                   "                            |       F1       |       F2       |",
                   {F1, F2}},
        SchemeCase{
            2, "1 двухлучевой канал", "                            |       F1       |", {F1}},
        SchemeCase{3,
                   "4 однолучевых канала",
                   "                            |       F1       |       F2       |       F3       "
                   "|       F4       |",
                   {F1, F2, F3, F4}},
        SchemeCase{
            4,
            "1 двухлучевой канал и 2 однолучевых канала",
            "                            |       F1       |       F3       |       F4       |",
            {F1, F3, F4}},
        SchemeCase{5,
                   "2 двухлучевых канала",
                   "                            |       F1       |       F3       |",
                   {F1, F3}},
        SchemeCase{
            6, "1 четырёхлучевой канал", "                            |       F1       |", {F1}},
        // No layout of its own: all four channels, nothing hidden.
        SchemeCase{7,
                   "неизвестный код 7",
                   "                            |       F1       |       F2       |       F3       "
                   "|       F4       |",
                   {F1, F2, F3, F4}},
        SchemeCase{255,
                   "неизвестный код 255",
                   "                            |       F1       |       F2       |       F3       "
                   "|       F4       |",
                   {F1, F2, F3, F4}}));

TEST(D2CurrentView, ValueOfExactlySixteenCharactersStillFits) {
    TDevice d = D2Device(0);
    PutF32(d.DataImage, 6, 123456789012.0f); // 123456790528,000: 16 characters
    EXPECT_EQ(Render(d)[11], "Мгновенный расход, м3/час    123456790528,000");
    PutF32(d.DataImage, 6, 1234567890123.0f); // 17 characters
    EXPECT_EQ(Render(d)[11], "Мгновенный расход, м3/час    " + std::string(16, '#'));
}

// ---- Devices never read, types without blocks ----

TEST(CurrentView, NeverReadShShowsTheZeroImage) {
    const Lines expected = {
        "прибор: ВИРС-Ш",
        "сетевой номер: 1",
        "отчёт за 30.12.1899 0:00:00",
        "версия ПО адаптера: 0",
        "",
        "состояние прибора: ",
        Analog,
        Sensors,
        FlowErrors,
        Work,
        FlowError,
        "скорость потока, м/с = 0,000",
        "объём жидкости, м3 = 0,000",
        "время работы, часов = 0,0",
        "время простоя, часов = 0,0",
        "текущая дата и время прибора: 30.12.1899 00:00",
        "напряжение батареи, вольт: 0,00",
        "серийный номер прибора: 0",
        "версия ПО прибора: 0",
        "дата изготовления прибора: 30.12.1899",
        "дата последней прошивки: 30.12.1899",
    };
    EXPECT_EQ(Joined(Render(MakeDevice(DeviceVirsSh))), Joined(expected));
}

TEST(CurrentView, NeverReadD) {
    const Lines expected = {
        "прибор: ВИРС-Д",
        "сетевой номер: 1",
        "отчёт за 30.12.1899 0:00:00",
        "",
        "объёмный расход F1, м3/час = отказ",
        "объёмный расход F2, м3/час = отказ",
        "накопленный объем V1, м3 = 0",
        "накопленный объем V2, м3 = 0",
        "накопленный объем V1, реверс, м3 = 0",
        "накопленный объем V2, реверс, м3 = 0",
        "время наработки B1, часов = 0,000",
        "время наработки B2, часов = 0,000",
        "время наработки -B1, реверс, часов = 0,000",
        "время наработки -B2, реверс, часов = 0,000",
    };
    EXPECT_EQ(Joined(Render(MakeDevice(DeviceVirsD))), Joined(expected));
}

TEST(CurrentView, NeverReadD2) {
    const std::string zero3 = Sp(12) + "0,000";
    const std::string zero2 = Sp(13) + "0,00";
    const Lines expected = {
        "прибор: ВИРС-Д2",
        "сетевой номер: 1",
        "отчёт за 30.12.1899 0:00:00",
        "",
        "Схема включения: 1 однолучевой канал",
        "",
        Rule,
        "                     СЧЁТЧИКИ",
        Rule,
        "                            |       F1       |",
        std::string("Мгновенный расход, м3/час   ") + "           ошибка",
        "Объём жидкости, м3          " + zero3,
        "Время работы, часов         " + zero2,
        "Объём жидкости, м3 (реверс) " + zero3,
        "Время работы, часов (реверс)" + zero2,
        "",
        Rule,
        "                     ДАВЛЕНИЕ",
        Rule,
        "                            |       P1       |       P2       |       P3       |       P4 "
        "      |",
        "                        КПа " + zero3 + zero3 + zero3 + zero3,
        "                        MПа " + zero3 + zero3 + zero3 + zero3,
        "                        бар " + zero3 + zero3 + zero3 + zero3,
        " (техническая атмосфера) ат " + zero3 + zero3 + zero3 + zero3,
        "",
        "Текущая дата и время прибора: 00.00.00 00:00:00",
        "Серийный номер прибора: 0",
        "Версия ПО прибора: 0.0",
        "Дата изготовления прибора: 00.00.00",
        "Дата последней прошивки: 00.00.00",
    };
    EXPECT_EQ(Joined(Render(MakeDevice(DeviceVirsD2))), Joined(expected));
}

struct IdentCase {
    std::uint8_t Type;
    const char* Name;
    Lines Expected;
};

class IdentificationTest : public ::testing::TestWithParam<IdentCase> {};

TEST_P(IdentificationTest, OnlyTheIdentificationLines) {
    const IdentCase& c = GetParam();
    TDevice d = MakeDevice(c.Type, c.Name, 42);
    PutU16(d.DataImage, 0, 0xFFFF); // a stored image is not looked at
    DeviceWorkArea area;
    const TDeviceViewText text = RenderDeviceView(0, d, area, Ru);
    EXPECT_TRUE(text.Replaced);
    EXPECT_EQ(Joined(text.Lines), Joined(c.Expected));
    // Types without blocks leave the work area as it was.
    EXPECT_EQ(area.ShCurrentBlock.Bytes[0], 0);
    EXPECT_EQ(area.DCurrentBlock.Bytes[0], 0);
    EXPECT_EQ(area.D2Image.Bytes[0], 0);
}

INSTANTIATE_TEST_SUITE_P(
    Types, IdentificationTest,
    ::testing::Values(
        IdentCase{0, "", {"прибор: прибор отключен", "сетевой номер: 42"}},
        IdentCase{0, "Резерв", {"Резерв", "прибор: прибор отключен", "сетевой номер: 42"}},
        IdentCase{1, "", {"прибор: теплосчётчик Toplin", "сетевой номер: 42"}},
        IdentCase{1, "Тепло", {"Тепло", "прибор: теплосчётчик Toplin", "сетевой номер: 42"}},
        IdentCase{2, "", {"прибор: КРЭН", "сетевой номер: 42"}},
        IdentCase{2, "Кран 1", {"Кран 1", "прибор: КРЭН", "сетевой номер: 42"}},
        // A type code beyond the table (a damaged base) has no name to show.
        IdentCase{9, "X", {"X", "прибор: ", "сетевой номер: 42"}}));

} // namespace
} // namespace virs
