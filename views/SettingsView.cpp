// The settings listings ("параметры") of ВИРС-Д, ВИРС-ДК and ВИРС-Д2, from the
// settings blocks of the work area as they stand.

#include <string>

#include "acquisition/Registers.h"
#include "views/ViewParts.h"
#include "views/ViewText.h"

namespace virs {

namespace {

const std::string Rule(51, '=');
const std::string LabelGap(26, ' ');

// A channel row of the ВИРС-Д / ВИРС-ДК listing: the value of each channel lies
// at the same distance from that channel's base register.
struct TChannelRow {
    const char* Label;
    int Precision;
    int Decimals;
    int FromBase; // register - base register of the channel
};

const TChannelRow ChannelRows[] = {
    {"  Шкала,м3/час        Mx  ", 8, 1, 6},
    {"  Отсечка,м3/час      Mn  ", 7, 2, 8},
    {"  Тип датчика         Td  ", 2, 0, 10},
    {"  Диаметр,мм          D   ", 6, 1, 12},
    {"  База датчиков,мм    Ld  ", 7, 2, 14},
    {"  Фильтр              сTf ", 4, 0, 16}, // ВИРС-ДК: precision 3
    {"  Cмещение нуля,нс    Sm0 ", 8, 2, 18},
    {"  Длина кабеля,м      Lk  ", 6, 2, 20},
    {"  Коэффициент         K   ", 7, 5, 22},
    {"  Коэффициент         A   ", 7, 5, 24},
    {"  Коэффициент         B   ", 7, 5, 26},
    {"  Коэффициент         C   ", 7, 5, 28},
};
const TChannelRow TimeRows[] = {
    {"  Время по,мкс        Tпо ", 8, 3, 0},
    {"  Время против,мкс    Tпр ", 8, 3, 2},
    {"  Разн.времени,мкс    dT  ", 8, 5, 4},
};
constexpr std::size_t FilterRow = 5;

// A row whose cells come from listed registers.
struct TRegisterRow {
    const char* Label;
    int Precision;
    int Decimals;
    int Registers[4];
};

const TRegisterRow DExtraRows[] = {
    {"  Вес импульса,л/имп      ", 8, 2, {446, 448}},
    {"  Окно УЗИ                ", 5, 0, {460, 462}},
    {"  Токовый выход №1        ", 7, 4, {450, 452}},
    {"  Токовый выход №2        ", 7, 4, {454, 456}},
};
const TRegisterRow DKExtraRows[] = {
    {"  Вес импульса,л/имп      ", 8, 2, {476, 478, 480, 482}},
    {"  Окно УЗИ                ", 5, 0, {484, 486, 488, 490}},
};
const TRegisterRow DGeneralRows[] = {
    {"  Каналы FVHC             ", 5, 0, {434}}, {"  Отчетный день           ", 3, 0, {436}},
    {"  Адрес сети              ", 4, 0, {438}}, {"  Скорость обмена         ", 2, 0, {440}},
    {"  Modbus байты            ", 2, 0, {442}}, {"  Режим усреднения        ", 2, 0, {444}},
    {"  Токовый выход, диапазон ", 2, 0, {458}},
};
const TRegisterRow DKGeneralRows[] = {
    {"  Кол-во пар ПЭП      N   ", 2, 0, {460}}, {"  Каналы FVHC             ", 5, 0, {462}},
    {"  Отчетный день           ", 3, 0, {464}}, {"  Учёт реверса            ", 2, 0, {466}},
    {"  Адрес сети              ", 4, 0, {468}}, {"  Скорость обмена         ", 2, 0, {470}},
    {"  Modbus байты            ", 7, 2, {472}}, {"  Режим усреднения        ", 2, 0, {474}},
};

} // namespace

void AddDSettingsLines(const TDSettingsBlock& block, bool fourChannels, const TViewLocale& locale,
                       TViewLines& lines) {
    const int channels = fourChannels ? 4 : 2;
    auto cell = [&](int reg, int p, int d) {
        return AlignOnComma(Fixed(DSettingsValue(block, reg), p, d, locale), locale);
    };
    auto channelRow = [&](const TChannelRow& row, int precision) {
        std::string line = row.Label;
        for (int k = 0; k < channels; ++k)
            line += cell(DChannelBase[k] + row.FromBase, precision, row.Decimals);
        lines.push_back(line);
    };
    auto registerRow = [&](const TRegisterRow& row, int cells) {
        std::string line = row.Label;
        for (int k = 0; k < cells; ++k)
            line += cell(row.Registers[k], row.Precision, row.Decimals);
        lines.push_back(line);
    };

    std::string heading = LabelGap;
    for (int k = 0; k < channels; ++k)
        heading += AlignOnComma("КАНАЛ" + std::to_string(k + 1), locale);
    lines.push_back(heading);
    for (std::size_t r = 0; r < std::size(ChannelRows); ++r) {
        const bool dkFilter = fourChannels && r == FilterRow;
        channelRow(ChannelRows[r], dkFilter ? 3 : ChannelRows[r].Precision);
    }
    if (fourChannels)
        for (const TRegisterRow& row : DKExtraRows)
            registerRow(row, 4);
    else
        for (const TRegisterRow& row : DExtraRows)
            registerRow(row, 2);
    lines.push_back("");
    for (const TChannelRow& row : TimeRows)
        channelRow(row, row.Precision);
    lines.push_back("");
    lines.push_back("ОБЩИЕ ПАРАМЕТРЫ");
    if (fourChannels)
        for (const TRegisterRow& row : DKGeneralRows)
            registerRow(row, 1);
    else
        for (const TRegisterRow& row : DGeneralRows)
            registerRow(row, 1);
}

namespace {

int PairCount(u8 mask) {
    int n = 0;
    for (int b = 0; b < 4; ++b)
        n += (mask >> b) & 1;
    return n;
}

std::string SectionHeading(int channel, u8 pairs, bool knownScheme) {
    std::string heading = "              КАНАЛ F" + std::to_string(channel + 1);
    if (!knownScheme)
        return heading; // the beams of an unknown scheme are not claimed
    switch (PairCount(pairs)) {
    case 1:
        return heading + " (однолучевой)";
    case 2:
        return heading + " (двухлучевой)";
    default:
        return heading + " (четырёхлучевой)";
    }
}

void AddChannelSettings(const TD2ChannelSettings& ch, const TViewLocale& locale,
                        TViewLines& lines) {
    static const char* const OutputTypes[3] = {"импульсный", "частотный", "токовый"};
    lines.push_back(std::string("Ед. измерения            ") +
                    (ch.FlowUnit != 0 ? "литры/мин." : "м3/ч"));
    lines.push_back("Мин. расход, м3/ч        " + Fixed(ch.MinFlow, 8, 1, locale));
    lines.push_back("Макс. расход, м3/ч       " + Fixed(ch.MaxFlow, 8, 1, locale));
    lines.push_back("Порог, м3/ч              " + Fixed(ch.Threshold, 8, 1, locale));
    lines.push_back("Вес импульса, литры      " + Fixed(ch.PulseWeight / 1000.0, 8, 3, locale));
    lines.push_back(std::string("Тип выхода               ") +
                    (ch.OutputType < 3 ? OutputTypes[ch.OutputType] : "релейный"));
    lines.push_back(std::string("Учёт реверса             ") +
                    (ch.ReverseAccounting != 0 ? "да" : "нет"));
}

void AddSensorPairRows(const TD2SettingsValues& s, u8 mask, const TViewLocale& locale,
                       TViewLines& lines) {
    auto numberRow = [&](const char* label, auto value, int decimals) {
        std::string line = label;
        for (int k = 0; k < 4; ++k)
            if (mask & (1u << k))
                line += AlignOnComma(Fixed(value(s.Pairs[k]), 8, decimals, locale), locale);
        lines.push_back(line);
    };
    auto textRow = [&](const char* label, auto text) {
        std::string line = label;
        for (int k = 0; k < 4; ++k)
            if (mask & (1u << k))
                line += text(s.Pairs[k]);
        lines.push_back(line);
    };
    using P = TD2SensorPairSettings;
    numberRow(
        "База датчиков,мм  ", [](const P& p) { return p.Base / 10.0; }, 1);
    numberRow(
        "Диаметр,мм        ", [](const P& p) { return p.Diameter / 10.0; }, 1);
    numberRow(
        "Угол врезки       ", [](const P& p) { return p.Angle / 10.0; }, 1);
    numberRow(
        "Длина кабеля,м    ", [](const P& p) { return p.CableLength / 10.0; }, 1);
    numberRow(
        "Коэффициент K     ", [](const P& p) { return double(p.K); }, 4);
    numberRow(
        "Коэффициент A     ", [](const P& p) { return double(p.A); }, 4);
    numberRow(
        "Коэффициент B     ", [](const P& p) { return double(p.B); }, 4);
    numberRow(
        "Коэффициент C     ", [](const P& p) { return double(p.C); }, 4);
    numberRow(
        "Смещение нуля,мкс ", [](const P& p) { return double(p.ZeroOffset); }, 4);
    numberRow(
        "Окно УЗИ,мкс      ", [](const P& p) { return double(p.Window); }, 0);
    numberRow(
        "Фильтр усред.,сек ", [](const P& p) { return double(p.Filter); }, 0);
    textRow("Датчик            ", [](const P& p) {
        return std::string(p.SensorKind != 0 ? "       тип 3    " : "       тип 6    ");
    });
    textRow("Врезка           ", [](const P& p) {
        return std::string(p.Mounting != 0 ? "        по хорде" : "        осевая  ");
    });
}

} // namespace

void AddD2SettingsLines(const TD2Image& image, const TViewLocale& locale, TViewLines& lines) {
    const TD2SettingsValues s = DecodeD2Settings(
        TImageReader(image.Bytes).Sub(TD2Image::SettingsOffset, TD2Image::SettingsSize));
    lines.push_back(Rule);
    lines.push_back("               НАСТРОЙКИ ПРИБОРА");
    lines.push_back(Rule);
    lines.push_back("Схема включения          " + ChannelSchemeText(s.ChannelScheme));
    lines.push_back("Сетевой номер            " + std::to_string(s.NetAddress));
    lines.push_back("Скорость обмена          " + BaudRateText(s.BaudCode));
    lines.push_back(std::string("Стоповые биты            ") + (s.StopBits != 0 ? "2" : "1"));
    lines.push_back("Чётность                 " + ParityText(s.Parity));
    lines.push_back("");

    const TChannelSchemeLayout layout = ChannelSchemeLayout(s.ChannelScheme);
    const bool known = s.ChannelScheme < ChannelSchemeCount;
    bool first = true;
    for (int k = 0; k < 4; ++k) {
        const u8 pairs = layout.PairsOf[k];
        if (!pairs)
            continue;
        if (!first)
            lines.push_back("");
        first = false;
        lines.push_back(Rule);
        lines.push_back(SectionHeading(k, pairs, known));
        lines.push_back(Rule);
        lines.push_back("");
        AddChannelSettings(s.Channels[k], locale, lines);
        lines.push_back("");
        std::string pairHeading(25, ' ');
        for (int n = 1; n <= PairCount(pairs); ++n)
            pairHeading +=
                (n > 1 ? std::string(11, ' ') : std::string()) + "ЛУЧ " + std::to_string(n);
        lines.push_back(pairHeading);
        AddSensorPairRows(s, pairs, locale, lines);
    }

    lines.push_back("");
    lines.push_back(Rule);
    lines.push_back("            ПАРАМЕТРЫ ДАТЧИКОВ ДАВЛЕНИЯ");
    lines.push_back(Rule);
    std::string shunt = "Шунт, Ом          ";
    std::string output = "Токовый выход     ";
    std::string unit = "Единица измерения ";
    std::string upper = "Верхнее значение  ";
    for (const TD2PressureSensorSettings& in : s.PressureInputs) {
        shunt += AlignOnComma(Fixed(in.Shunt / 10.0, 8, 1, locale), locale);
        output += in.CurrentOutput != 0 ? "      4-20 мА   " : "       0-5 мА   ";
        unit += in.Unit != 0 ? "        МПа     " : "        КПа     ";
        upper += AlignOnComma(Fixed(in.UpperValue / 10.0, 8, 1, locale), locale);
    }
    lines.push_back(shunt);
    lines.push_back(output);
    lines.push_back(unit);
    lines.push_back(upper);
}

} // namespace virs
