// The settings listings against texts worked out by hand from the tables.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "acquisition/WorkArea.h"
#include "model/TextCodec.h"
#include "tests/views/TestImages.h"
#include "views/DeviceView.h"

namespace virs {
namespace {

using namespace test;
using Lines = std::vector<std::string>;

const TViewLocale Ru = RussianViewLocale();
const std::string Rule(51, '=');

// A float of the ВИРС-Д / ВИРС-ДК settings block at its register number.
void PutSetting(DeviceWorkArea& area, int reg, float v) {
    PutF32(area.DSettingsBlock.Bytes, static_cast<std::size_t>(reg - 400) * 2, v);
}

Lines RenderSettings(std::uint8_t type, DeviceWorkArea& area) {
    const TDevice d = MakeDevice(type);
    const int tab = type == DeviceVirsD2 ? 3 : 4;
    const TDeviceViewText text = RenderDeviceView(tab, d, area, Ru);
    EXPECT_TRUE(text.Replaced);
    EXPECT_EQ(text.ClearStatusText, type != DeviceVirsD2);
    return text.Lines;
}

std::string Cell(int before, const std::string& text, int after) {
    return Sp(before) + text + Sp(after);
}

TEST(DSettingsView, WholeListing) {
    DeviceWorkArea area;
    PutSetting(area, 408, 120.0f);
    PutSetting(area, 508, 85.5f);
    PutSetting(area, 410, 0.25f);
    PutSetting(area, 412, 6.0f);
    PutSetting(area, 512, 3.0f);
    PutSetting(area, 414, 100.4f);
    PutSetting(area, 416, 150.13f);
    PutSetting(area, 418, 10.0f);
    PutSetting(area, 420, -12.5f);
    PutSetting(area, 422, 15.0f);
    PutSetting(area, 424, 1.0125f);
    PutSetting(area, 446, 10.0f);
    PutSetting(area, 448, 0.5f);
    PutSetting(area, 460, 300.0f);
    PutSetting(area, 450, 4.0f);
    PutSetting(area, 452, 20.0f);
    PutSetting(area, 402, 123.456f);
    PutSetting(area, 406, 0.00123f);
    PutSetting(area, 434, 3.0f);
    PutSetting(area, 436, 1.0f);
    PutSetting(area, 438, 17.0f);
    PutSetting(area, 440, 4.0f);
    PutSetting(area, 442, 8.0f);
    PutSetting(area, 444, 2.0f);
    PutSetting(area, 458, 1.0f);
    PutSetting(area, 582, 99.0f); // channel 3 group: not shown on a ВИРС-Д

    const std::string z1 = Cell(8, "0,0", 5), z2 = Cell(8, "0,00", 4), z3 = Cell(8, "0,000", 3),
                      z4 = Cell(8, "0,0000", 2), z5 = Cell(8, "0,00000", 1), z = Cell(8, "0", 7);
    const Lines expected = {
        Sp(26) + Cell(3, "КАНАЛ1", 7) + Cell(3, "КАНАЛ2", 7),
        "  Шкала,м3/час        Mx  " + Cell(6, "120,0", 5) + Cell(7, "85,5", 5),
        "  Отсечка,м3/час      Mn  " + Cell(8, "0,25", 4) + z2,
        "  Тип датчика         Td  " + Cell(8, "6", 7) + Cell(8, "3", 7),
        "  Диаметр,мм          D   " + Cell(6, "100,4", 5) + z1,
        "  База датчиков,мм    Ld  " + Cell(6, "150,13", 4) + z2,
        "  Фильтр              сTf " + Cell(7, "10", 7) + z,
        "  Cмещение нуля,нс    Sm0 " + Cell(6, "-12,50", 4) + z2,
        "  Длина кабеля,м      Lk  " + Cell(7, "15,00", 4) + z2,
        "  Коэффициент         K   " + Cell(8, "1,01250", 1) + z5,
        "  Коэффициент         A   " + z5 + z5,
        "  Коэффициент         B   " + z5 + z5,
        "  Коэффициент         C   " + z5 + z5,
        "  Вес импульса,л/имп      " + Cell(7, "10,00", 4) + Cell(8, "0,50", 4),
        "  Окно УЗИ                " + Cell(6, "300", 7) + z,
        "  Токовый выход №1        " + Cell(8, "4,0000", 2) + Cell(7, "20,0000", 2),
        "  Токовый выход №2        " + z4 + z4,
        "",
        "  Время по,мкс        Tпо " + Cell(6, "123,456", 3) + z3,
        "  Время против,мкс    Tпр " + z3 + z3,
        "  Разн.времени,мкс    dT  " + Cell(8, "0,00123", 1) + z5,
        "",
        "ОБЩИЕ ПАРАМЕТРЫ",
        "  Каналы FVHC             " + Cell(8, "3", 7),
        "  Отчетный день           " + Cell(8, "1", 7),
        "  Адрес сети              " + Cell(7, "17", 7),
        "  Скорость обмена         " + Cell(8, "4", 7),
        "  Modbus байты            " + Cell(8, "8", 7),
        "  Режим усреднения        " + Cell(8, "2", 7),
        "  Токовый выход, диапазон " + Cell(8, "1", 7),
    };
    EXPECT_EQ(Joined(RenderSettings(DeviceVirsD, area)), Joined(expected));
}

TEST(DSettingsView, LabelsUseLatinLettersWhereTheDeviceDoes) {
    DeviceWorkArea area;
    const Lines lines = RenderSettings(DeviceVirsD, area);
    // "сTf": Cyrillic с, Latin T and f; "Cмещение" with a Latin C; "Tпо" with a Latin T.
    EXPECT_NE(lines[6].find("\xD1\x81Tf"), std::string::npos);
    EXPECT_EQ(lines[7].rfind("  C\xD0\xBC", 0), 0u);
    EXPECT_NE(lines[18].find("T\xD0\xBF\xD0\xBE"), std::string::npos);
    EXPECT_EQ(lines[27].rfind("  Modbus", 0), 0u);
}

TEST(DKSettingsView, FourChannelsAndItsOwnGeneralPart) {
    DeviceWorkArea area;
    const int bases[4] = {402, 502, 582, 662};
    for (int k = 0; k < 4; ++k) {
        PutSetting(area, bases[k] + 6, 10.0f * (k + 1)); // Mx
        PutSetting(area, bases[k] + 0, 100.0f + k);      // Tпо
    }
    PutSetting(area, 418, 1234.0f); // filter: three digits on a ВИРС-ДК
    for (int k = 0; k < 4; ++k) {
        PutSetting(area, 476 + 2 * k, 0.5f * (k + 1));
        PutSetting(area, 484 + 2 * k, 100.0f * (k + 1));
    }
    const float general[8] = {2, 15, 25, 1, 5, 3, 8, 1};
    for (int k = 0; k < 8; ++k)
        PutSetting(area, 460 + 2 * k, general[k]);

    const Lines lines = RenderSettings(DeviceVirsDK, area);
    ASSERT_EQ(lines.size(), 29u);
    const std::string z = Cell(8, "0", 7);
    EXPECT_EQ(lines[0], Sp(26) + Cell(3, "КАНАЛ1", 7) + Cell(3, "КАНАЛ2", 7) +
                            Cell(3, "КАНАЛ3", 7) + Cell(3, "КАНАЛ4", 7));
    EXPECT_EQ(lines[1], "  Шкала,м3/час        Mx  " + Cell(7, "10,0", 5) + Cell(7, "20,0", 5) +
                            Cell(7, "30,0", 5) + Cell(7, "40,0", 5));
    EXPECT_EQ(lines[6], "  Фильтр              сTf " + Cell(8, "1,23E+03", 0) + z + z + z);
    EXPECT_EQ(lines[13], "  Вес импульса,л/имп      " + Cell(8, "0,50", 4) + Cell(8, "1,00", 4) +
                             Cell(8, "1,50", 4) + Cell(8, "2,00", 4));
    EXPECT_EQ(lines[14], "  Окно УЗИ                " + Cell(6, "100", 7) + Cell(6, "200", 7) +
                             Cell(6, "300", 7) + Cell(6, "400", 7));
    EXPECT_EQ(lines[15], "");
    EXPECT_EQ(lines[16], "  Время по,мкс        Tпо " + Cell(6, "100,000", 3) +
                             Cell(6, "101,000", 3) + Cell(6, "102,000", 3) + Cell(6, "103,000", 3));
    EXPECT_EQ(lines[19], "");
    EXPECT_EQ(lines[20], "ОБЩИЕ ПАРАМЕТРЫ");
    const Lines generalPart(lines.begin() + 21, lines.end());
    const Lines expectedGeneral = {
        "  Кол-во пар ПЭП      N   " + Cell(8, "2", 7),
        "  Каналы FVHC             " + Cell(7, "15", 7),
        "  Отчетный день           " + Cell(7, "25", 7),
        "  Учёт реверса            " + Cell(8, "1", 7),
        "  Адрес сети              " + Cell(8, "5", 7),
        "  Скорость обмена         " + Cell(8, "3", 7),
        "  Modbus байты            " + Cell(8, "8,00", 4),
        "  Режим усреднения        " + Cell(8, "1", 7),
    };
    EXPECT_EQ(Joined(generalPart), Joined(expectedGeneral));

    // The same filter value on a ВИРС-Д keeps four digits.
    EXPECT_EQ(RenderSettings(DeviceVirsD, area)[6],
              "  Фильтр              сTf " + Cell(5, "1234", 7) + z);
}

// ---- ВИРС-Д2 ----

// Writes into the settings part of the ВИРС-Д2 image (offsets from register 156).
struct D2Settings {
    DeviceWorkArea& Area;
    std::uint8_t* At(std::size_t offset) { return Area.D2Image.Bytes + 184 + offset; }
    void U8(std::size_t o, std::uint8_t v) { PutU8(At(0), o, v); }
    void U16(std::size_t o, std::uint16_t v) { PutU16(At(0), o, v); }
    void U32(std::size_t o, std::uint32_t v) { PutU32(At(0), o, v); }
    void F32(std::size_t o, float v) { PutF32(At(0), o, v); }
};

void FillD2Settings(DeviceWorkArea& area, std::uint8_t scheme) {
    D2Settings s{area};
    s.U8(0, scheme);
    s.U8(1, 17);
    s.U8(2, 5);
    s.U8(3, 1);
    s.U8(4, 2);
    // Channel 1.
    s.F32(16, 0.5f);
    s.F32(20, 120.0f);
    s.F32(24, 2.3f);
    s.U32(28, 2500);
    s.U8(32, 1);
    s.U8(33, 7);
    s.U8(34, 0);
    s.U8(35, 0xAA); // not shown
    // Sensor pair 1.
    s.U16(96, 1000);
    s.U16(98, 1234);
    s.U16(100, 450);
    s.U8(102, 1);
    s.U8(103, 0);
    s.U16(104, 25);
    s.F32(106, -0.5f);
    s.F32(110, 1.0625f);
    s.F32(114, 0.0f);
    s.F32(118, 2.5f);
    s.F32(122, -1.0f);
    s.U16(126, 120);
    s.U8(128, 5);
    // Pressure inputs: P1 at 232, P2 at 239 (odd offsets).
    s.U8(232, 1);
    s.U8(233, 1);
    s.U16(234, 16);
    s.U16(236, 1000);
    s.U8(239, 0);
    s.U8(240, 0);
    s.U16(241, 2500);
    s.U16(243, 0);
}

TEST(D2SettingsView, WholeListingOfSchemeZero) {
    DeviceWorkArea area;
    FillD2Settings(area, 0);
    const std::string p0 = Cell(8, "0,0", 5);
    const Lines expected = {
        Rule,
        "               НАСТРОЙКИ ПРИБОРА",
        Rule,
        "Схема включения          1 однолучевой канал",
        "Сетевой номер            17",
        "Скорость обмена          19200",
        "Стоповые биты            2",
        "Чётность                 нечет",
        "",
        Rule,
        "              КАНАЛ F1 (однолучевой)",
        Rule,
        "",
        "Ед. измерения            м3/ч",
        "Мин. расход, м3/ч        0,5",
        "Макс. расход, м3/ч       120,0",
        "Порог, м3/ч              2,3",
        "Вес импульса, литры      2,500",
        "Тип выхода               релейный",
        "Учёт реверса             да",
        "",
        "                         ЛУЧ 1",
        "База датчиков,мм  " + Cell(6, "123,4", 5),
        "Диаметр,мм        " + Cell(6, "100,0", 5),
        "Угол врезки       " + Cell(7, "45,0", 5),
        "Длина кабеля,м    " + Cell(8, "2,5", 5),
        "Коэффициент K     " + Cell(8, "1,0625", 2),
        "Коэффициент A     " + Cell(8, "0,0000", 2),
        "Коэффициент B     " + Cell(8, "2,5000", 2),
        "Коэффициент C     " + Cell(7, "-1,0000", 2),
        "Смещение нуля,мкс " + Cell(7, "-0,5000", 2),
        "Окно УЗИ,мкс      " + Cell(6, "120", 7),
        "Фильтр усред.,сек " + Cell(8, "5", 7),
        std::string("Датчик            ") + "       тип 6    ",
        std::string("Врезка           ") + "        по хорде",
        "",
        Rule,
        "            ПАРАМЕТРЫ ДАТЧИКОВ ДАВЛЕНИЯ",
        Rule,
        "Шунт, Ом          " + Cell(6, "100,0", 5) + p0 + p0 + p0,
        std::string("Токовый выход     ") + "      4-20 мА   " + "       0-5 мА   " +
            "       0-5 мА   " + "       0-5 мА   ",
        std::string("Единица измерения ") + "        МПа     " + "        КПа     " +
            "        КПа     " + "        КПа     ",
        "Верхнее значение  " + Cell(8, "1,6", 5) + Cell(6, "250,0", 5) + p0 + p0,
    };
    EXPECT_EQ(Joined(RenderSettings(DeviceVirsD2, area)), Joined(expected));
}

struct SectionCase {
    std::uint8_t Scheme;
    Lines Headings;     // section headings in order
    Lines PairHeadings; // their pair headings
    Lines DiameterRows; // the "Диаметр,мм" row of each section
    Lines MinFlowLines; // "Мин. расход" of each section: which channel record it shows
};

class D2SectionsTest : public ::testing::TestWithParam<SectionCase> {};

std::string Diameters(std::initializer_list<const char*> values) {
    std::string row = "Диаметр,мм        ";
    for (const char* v : values)
        row += Cell(7, v, 5);
    return row;
}

TEST_P(D2SectionsTest, SectionsOfTheScheme) {
    const SectionCase& c = GetParam();
    DeviceWorkArea area;
    FillD2Settings(area, c.Scheme);
    D2Settings s{area};
    for (int k = 0; k < 4; ++k) {
        s.F32(16 + 20 * static_cast<std::size_t>(k), static_cast<float>(k + 1));
        s.U16(96 + 34 * static_cast<std::size_t>(k), static_cast<std::uint16_t>(100 * (k + 1)));
    }
    const Lines lines = RenderSettings(DeviceVirsD2, area);
    Lines headings, pairHeadings, diameters, minFlows;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& l = lines[i];
        if (l.rfind("              КАНАЛ F", 0) == 0) {
            headings.push_back(l);
            EXPECT_EQ(lines[i - 1], Rule);
            EXPECT_EQ(lines[i + 1], Rule);
        }
        if (l.rfind("                         ЛУЧ", 0) == 0)
            pairHeadings.push_back(l);
        if (l.rfind("Диаметр,мм", 0) == 0)
            diameters.push_back(l);
        if (l.rfind("Мин. расход", 0) == 0)
            minFlows.push_back(l);
    }
    EXPECT_EQ(Joined(headings), Joined(c.Headings));
    EXPECT_EQ(Joined(pairHeadings), Joined(c.PairHeadings));
    EXPECT_EQ(Joined(diameters), Joined(c.DiameterRows));
    EXPECT_EQ(Joined(minFlows), Joined(c.MinFlowLines));
    // Four pressure cells whatever the scheme.
    EXPECT_EQ(Utf8Length(lines.back()), 18u + 4 * 16);
}

const char* const One = "                         ЛУЧ 1";
const char* const Two = "                         ЛУЧ 1           ЛУЧ 2";
const char* const Four =
    "                         ЛУЧ 1           ЛУЧ 2           ЛУЧ 3           ЛУЧ 4";
const char* const Min1 = "Мин. расход, м3/ч        1,0";
const char* const Min2 = "Мин. расход, м3/ч        2,0";
const char* const Min3 = "Мин. расход, м3/ч        3,0";
const char* const Min4 = "Мин. расход, м3/ч        4,0";

INSTANTIATE_TEST_SUITE_P(
    Schemes, D2SectionsTest,
    ::testing::Values(
        SectionCase{
            0, {"              КАНАЛ F1 (однолучевой)"}, {One}, {Diameters({"10,0"})}, {Min1}},
        SectionCase{
            1,
            {"              КАНАЛ F1 (однолучевой)", "              КАНАЛ F2 (однолучевой)"},
            {One, One},
            {Diameters({"10,0"}), Diameters({"20,0"})},
            {Min1, Min2}},
        SectionCase{2,
                    {"              КАНАЛ F1 (двухлучевой)"},
                    {Two},
                    {Diameters({"10,0", "20,0"})},
                    {Min1}},
        SectionCase{
            3,
            {"              КАНАЛ F1 (однолучевой)", "              КАНАЛ F2 (однолучевой)",
             "              КАНАЛ F3 (однолучевой)", "              КАНАЛ F4 (однолучевой)"},
            {One, One, One, One},
            {Diameters({"10,0"}), Diameters({"20,0"}), Diameters({"30,0"}), Diameters({"40,0"})},
            {Min1, Min2, Min3, Min4}},
        SectionCase{4,
                    {"              КАНАЛ F1 (двухлучевой)", "              КАНАЛ F3 (однолучевой)",
                     "              КАНАЛ F4 (однолучевой)"},
                    {Two, One, One},
                    {Diameters({"10,0", "20,0"}), Diameters({"30,0"}), Diameters({"40,0"})},
                    {Min1, Min3, Min4}},
        SectionCase{
            5,
            {"              КАНАЛ F1 (двухлучевой)", "              КАНАЛ F3 (двухлучевой)"},
            {Two, Two},
            {Diameters({"10,0", "20,0"}), Diameters({"30,0", "40,0"})},
            {Min1, Min3}},
        SectionCase{6,
                    {"              КАНАЛ F1 (четырёхлучевой)"},
                    {Four},
                    {Diameters({"10,0", "20,0", "30,0", "40,0"})},
                    {Min1}},
        // Unknown scheme: every channel with its own pair, no beam kind claimed.
        SectionCase{
            9,
            {"              КАНАЛ F1", "              КАНАЛ F2", "              КАНАЛ F3",
             "              КАНАЛ F4"},
            {One, One, One, One},
            {Diameters({"10,0"}), Diameters({"20,0"}), Diameters({"30,0"}), Diameters({"40,0"})},
            {Min1, Min2, Min3, Min4}}));

TEST(D2SettingsView, SectionsAreSeparatedByOneEmptyLine) {
    DeviceWorkArea area;
    FillD2Settings(area, 5);
    const Lines lines = RenderSettings(DeviceVirsD2, area);
    // Section 1 ends with its "Врезка" row, then one empty line, then section 2.
    std::size_t second = 0;
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (lines[i] == "              КАНАЛ F3 (двухлучевой)")
            second = i;
    ASSERT_GT(second, 3u);
    EXPECT_EQ(lines[second - 1], Rule);
    EXPECT_EQ(lines[second - 2], "");
    EXPECT_EQ(lines[second - 3].rfind("Врезка           ", 0), 0u);
}

TEST(D2SettingsView, CodeTexts) {
    const char* const bauds[10] = {"выключен", "2400",  "4800",  "9600",  "14400",
                                   "19200",    "28800", "38400", "57600", "115200"};
    for (int code = 0; code <= 12; ++code) {
        DeviceWorkArea area;
        FillD2Settings(area, 0);
        D2Settings{area}.U8(2, static_cast<std::uint8_t>(code));
        const std::string text =
            code < 10 ? bauds[code] : "неизвестный код " + std::to_string(code);
        EXPECT_EQ(RenderSettings(DeviceVirsD2, area)[5], "Скорость обмена          " + text);
    }
    const char* const parities[4] = {"нет", "чёт", "нечет", "неизвестный код 3"};
    for (int code = 0; code < 4; ++code) {
        DeviceWorkArea area;
        FillD2Settings(area, 0);
        D2Settings{area}.U8(4, static_cast<std::uint8_t>(code));
        EXPECT_EQ(RenderSettings(DeviceVirsD2, area)[7],
                  std::string("Чётность                 ") + parities[code]);
    }
    DeviceWorkArea area;
    FillD2Settings(area, 200);
    D2Settings{area}.U8(3, 0);
    const Lines lines = RenderSettings(DeviceVirsD2, area);
    EXPECT_EQ(lines[3], "Схема включения          неизвестный код 200");
    EXPECT_EQ(lines[6], "Стоповые биты            1");
}

TEST(D2SettingsView, ChannelRecordTexts) {
    const char* const outputs[5] = {"импульсный", "частотный", "токовый", "релейный", "релейный"};
    const std::uint8_t codes[5] = {0, 1, 2, 3, 255};
    for (int i = 0; i < 5; ++i) {
        DeviceWorkArea area;
        FillD2Settings(area, 0);
        D2Settings s{area};
        s.U8(33, codes[i]);
        s.U8(34, static_cast<std::uint8_t>(i)); // flow unit: 0 = m3/h
        s.U8(32, 0);
        const Lines lines = RenderSettings(DeviceVirsD2, area);
        EXPECT_EQ(lines[18], std::string("Тип выхода               ") + outputs[i]);
        EXPECT_EQ(lines[13],
                  i == 0 ? "Ед. измерения            м3/ч" : "Ед. измерения            литры/мин.");
        EXPECT_EQ(lines[19], "Учёт реверса             нет");
    }
}

TEST(D2SettingsView, SensorKindAndMounting) {
    DeviceWorkArea area;
    FillD2Settings(area, 2);
    D2Settings s{area};
    s.U8(102, 0);      // pair 1 axial
    s.U8(103, 9);      // pair 1 type 3
    s.U8(102 + 34, 1); // pair 2 along a chord
    s.U8(103 + 34, 0); // pair 2 type 6
    const Lines lines = RenderSettings(DeviceVirsD2, area);
    bool found = false;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i)
        if (lines[i].rfind("Датчик", 0) == 0) {
            EXPECT_EQ(lines[i],
                      std::string("Датчик            ") + "       тип 3    " + "       тип 6    ");
            EXPECT_EQ(lines[i + 1],
                      std::string("Врезка           ") + "        осевая  " + "        по хорде");
            found = true;
        }
    EXPECT_TRUE(found);
}

} // namespace
} // namespace virs
