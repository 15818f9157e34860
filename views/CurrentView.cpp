// The current and total values view ("текущие/итоговые") of the four readable
// device families, from the blocks the work area holds.

#include <string>

#include "acquisition/Registers.h"
#include "views/ViewParts.h"
#include "views/ViewText.h"

namespace virs {

namespace {

// ВИРС-Ш state lines: bits 0..2 report when clear, bits 3..6 when set.
const char* const ShHealthyBitLines[3] = {
    "  измерения остановлены - неисправна аналоговая схема прибора, требуется ремонт",
    "  измерения остановлены - не подключены датчики",
    "  ошибки в измерениях текущего расхода",
};
const char* const ShFaultBitLines[4] = {
    "  измерения остановлены - напряжение батареи слишком низкое",
    "  измерения остановлены - нет связи с TDC",
    "  архив недоступен",
    "  UART активен",
};

const char* const DFlowLabels[4] = {
    "объёмный расход F1, м3/час = ",
    "объёмный расход F2, м3/час = ",
    "объёмный расход F3, м3/час = ",
    "объёмный расход F4, м3/час = ",
};
const char* const DCounterLabels[4] = {
    "накопленный объем V1, м3 = ",
    "накопленный объем V2, м3 = ",
    "накопленный объем V1, реверс, м3 = ",
    "накопленный объем V2, реверс, м3 = ",
};
const char* const DKCounterLabels[4] = {
    "накопленный объем V1, м3 = ",
    "накопленный объем V2, м3 = ",
    "накопленный объем V3, м3 = ",
    "накопленный объем V4, м3 = ",
};
const char* const DTimeLabels[4] = {
    "время наработки B1, часов = ",
    "время наработки B2, часов = ",
    "время наработки -B1, реверс, часов = ",
    "время наработки -B2, реверс, часов = ",
};
const char* const DKTimeLabels[4] = {
    "время наработки B1, часов = ",
    "время наработки B2, часов = ",
    "время наработки B3, часов = ",
    "время наработки B4, часов = ",
};

const std::string Rule(51, '=');

} // namespace

void AddShCurrentLines(const TShCurrentBlock& block, const TViewLocale& locale, TViewLines& lines) {
    const TShCurrentValues v = DecodeShCurrent(block);
    lines.push_back("версия ПО адаптера: " + std::to_string(v.AdapterFirmware));
    lines.push_back("");
    lines.push_back("состояние прибора: ");
    for (int bit = 0; bit < 3; ++bit)
        if (!(v.State & (1u << bit)))
            lines.push_back(ShHealthyBitLines[bit]);
    for (int bit = 3; bit < 7; ++bit)
        if (v.State & (1u << bit))
            lines.push_back(ShFaultBitLines[bit - 3]);
    lines.push_back(std::string("  режим:") +
                    ((v.State & ShStateProgramming) ? " программирование" : " работа"));
    if (v.State & ShStateEconomy)
        lines.push_back("  экономичный режим");
    if (v.State & ShStatePulseOverflow)
        lines.push_back("  переполнение импульсного выхода");
    if (ShFlowValid(v.State))
        lines.push_back("мгновенный расход, м3/час = " + Fixed(v.Flow, 10, 3, locale));
    else
        lines.push_back("мгновенный расход, м3/час = ошибка");
    lines.push_back("скорость потока, м/с = " + Fixed(v.Velocity, 10, 3, locale));
    lines.push_back("объём жидкости, м3 = " + Fixed(v.VolumeM3(), 20, 3, locale));
    lines.push_back("время работы, часов = " + Fixed(v.OperatingSeconds / 3600.0, 10, 1, locale));
    lines.push_back("время простоя, часов = " + Fixed(v.IdleSeconds / 3600.0, 10, 1, locale));
    lines.push_back("текущая дата и время прибора: " + DateText(v.DeviceDay, locale) + " " +
                    TwoDigits(v.DeviceHour) + ":" + TwoDigits(v.DeviceMinute));
    lines.push_back("напряжение батареи, вольт: " + Fixed(v.Battery / 100.0, 3, 2, locale));
    lines.push_back("серийный номер прибора: " + std::to_string(v.SerialNumber));
    lines.push_back("версия ПО прибора: " + std::to_string(v.Firmware));
    lines.push_back("дата изготовления прибора: " + DateText(v.MadeDay, locale));
    lines.push_back("дата последней прошивки: " + DateText(v.FirmwareLoadDay, locale));
}

void AddDCurrentLines(const TDCurrentBlock& block, bool fourChannels, const TViewLocale& locale,
                      TViewLines& lines) {
    const TDCurrentValues v = DecodeDCurrent(block);
    const int flows = fourChannels ? 4 : 2;
    lines.push_back("");
    for (int k = 0; k < flows; ++k) {
        if (DChannelValid(v.FlowStates[k]))
            lines.push_back(DFlowLabels[k] + Fixed(v.Flows[k], 10, 3, locale));
        else
            lines.push_back(std::string(DFlowLabels[k]) + "отказ");
    }
    for (int k = 0; k < 4; ++k) {
        const u8 scale = ScaleCodeByte(v.ScaleCodes[k]);
        lines.push_back(
            (fourChannels ? DKCounterLabels[k] : DCounterLabels[k]) +
            Fixed(ScaledCounter(v.Counters[k], scale), 20, ScaleDecimals(scale), locale));
    }
    for (int k = 0; k < 4; ++k)
        lines.push_back((fourChannels ? DKTimeLabels[k] : DTimeLabels[k]) +
                        Fixed(v.Times[k] / 10000.0, 10, 3, locale));
}

void AddD2CurrentLines(const TD2Image& image, const TViewLocale& locale, TViewLines& lines) {
    const TD2CurrentValues v = DecodeD2Current(image);
    const TChannelSchemeLayout layout = ChannelSchemeLayout(v.ChannelScheme);
    auto shown = [&](int k) { return layout.PairsOf[k] != 0; };

    lines.push_back("");
    lines.push_back("Схема включения: " + ChannelSchemeText(v.ChannelScheme));
    lines.push_back("");

    lines.push_back(Rule);
    lines.push_back("                     СЧЁТЧИКИ");
    lines.push_back(Rule);
    std::string heading = std::string(28, ' ') + "|";
    for (int k = 0; k < 4; ++k)
        if (shown(k))
            heading += "       F" + std::to_string(k + 1) + "       |";
    lines.push_back(heading);

    auto row = [&](const char* label, auto cell) {
        std::string line = label;
        for (int k = 0; k < 4; ++k)
            if (shown(k))
                line += cell(k);
        lines.push_back(line);
    };
    row("Мгновенный расход, м3/час   ", [&](int k) {
        return D2ChannelValid(v.ChannelStates[k]) ? FitRight(Fixed(v.Flows[k], 16, 3, locale), 16)
                                                  : std::string("           ошибка");
    });
    row("Объём жидкости, м3          ",
        [&](int k) { return FitRight(Fixed(v.Totals[k].ForwardM3(), 16, 3, locale), 16); });
    row("Время работы, часов         ", [&](int k) {
        return FitRight(Fixed(v.Totals[k].ForwardSeconds / 3600.0, 16, 2, locale), 16);
    });
    row("Объём жидкости, м3 (реверс) ",
        [&](int k) { return FitRight(Fixed(v.Totals[k].ReverseM3(), 16, 3, locale), 16); });
    row("Время работы, часов (реверс)", [&](int k) {
        return FitRight(Fixed(v.Totals[k].ReverseSeconds / 3600.0, 16, 2, locale), 16);
    });

    lines.push_back("");
    lines.push_back(Rule);
    lines.push_back("                     ДАВЛЕНИЕ");
    lines.push_back(Rule);
    lines.push_back(
        "                            |       P1       |       P2       |       P3       "
        "|       P4       |");
    struct PressureUnit {
        const char* Label;
        double Divisor;
    };
    static const PressureUnit Units[4] = {
        {"                        КПа ", 1000.0},
        {"                        MПа ", 1000000.0}, // Latin M
        {"                        бар ", 100000.0},
        {" (техническая атмосфера) ат ", 98066.5},
    };
    for (const PressureUnit& unit : Units) {
        std::string line = unit.Label;
        for (int k = 0; k < 4; ++k)
            line += FitRight(Fixed(v.Pressures[k] / unit.Divisor, 16, 3, locale), 16);
        lines.push_back(line);
    }

    lines.push_back("");
    const TD2Clock& c = v.Clock;
    lines.push_back("Текущая дата и время прибора: " + TwoDigits(c.Day) + "." + TwoDigits(c.Month) +
                    "." + TwoDigits(c.Year) + " " + TwoDigits(c.Hour) + ":" + TwoDigits(c.Minute) +
                    ":" + TwoDigits(c.Second));
    lines.push_back("Серийный номер прибора: " + std::to_string(v.SerialNumber));
    lines.push_back("Версия ПО прибора: " + std::to_string(v.FirmwareMajor) + "." +
                    std::to_string(v.FirmwareMinor));
    auto shortDate = [](const TD2Date& d) {
        return TwoDigits(d.Day) + "." + TwoDigits(d.Month) + "." + TwoDigits(d.Year);
    };
    lines.push_back("Дата изготовления прибора: " + shortDate(v.Made));
    lines.push_back("Дата последней прошивки: " + shortDate(v.FirmwareLoad));
}

} // namespace virs
