#include "views/DeviceView.h"

#include "acquisition/DeviceViews.h"
#include "acquisition/Registers.h"
#include "model/TextCodec.h"

#include "views/ViewParts.h"
#include "views/ViewText.h"

namespace virs {

TViewLines DeviceIdentificationLines(const TDevice& device) {
    TViewLines lines;
    std::string name = VisibleControls(device.NameSlot.Value.Get());
    if (!name.empty())
        lines.push_back(std::move(name));
    lines.push_back(std::string("прибор: ") + DeviceTypeName(device.DeviceType));
    lines.push_back("сетевой номер: " + std::to_string(device.NetAddress));
    return lines;
}

namespace {

void AddCurrentView(const TDevice& device, DeviceWorkArea& area, const TViewLocale& locale,
                    TViewLines& lines) {
    lines = DeviceIdentificationLines(device);
    const TDeviceType type = device.DeviceType;
    if (ViewJobKind(type, CurrentValuesView) != TJobKind::Current)
        return; // a type that is not read: its name only
    LoadDeviceImage(device, area);
    lines.push_back("отчёт за " + DateText(device.DataReadAt, locale) + " " +
                    TimeText(device.DataReadAt, locale));
    switch (type) {
    case DeviceVirsSh:
        AddShCurrentLines(area.ShCurrentBlock, locale, lines);
        break;
    case DeviceVirsD:
    case DeviceVirsDK:
        AddDCurrentLines(area.DCurrentBlock, type == DeviceVirsDK, locale, lines);
        break;
    case DeviceVirsD2:
        AddD2CurrentLines(area.D2Image, locale, lines);
        break;
    default:
        break;
    }
}

} // namespace

TDeviceViewText RenderDeviceView(int tabIndex, const TDevice& device, DeviceWorkArea& workArea,
                                 const TViewLocale& locale,
                                 const TArchiveViewRenderer& archiveView) {
    TDeviceViewText view;
    if (tabIndex < 0 || tabIndex >= ViewTabCount)
        return view;
    view.Replaced = true;
    const TDeviceType type = device.DeviceType;
    const TJobKind kind = ViewJobKind(type, tabIndex);
    if (tabIndex == CurrentValuesView) {
        AddCurrentView(device, workArea, locale, view.Lines);
    } else if (IsArchiveJob(kind)) {
        if (archiveView)
            archiveView(device, tabIndex, locale, view.Lines);
    } else if (kind == TJobKind::Settings && type == DeviceVirsD2) {
        AddD2SettingsLines(workArea.D2Image, locale, view.Lines);
    } else if (kind == TJobKind::Settings) {
        AddDSettingsLines(workArea.DSettingsBlock, type == DeviceVirsDK, locale, view.Lines);
        view.ClearStatusText = true;
    }
    return view;
}

std::string UnknownCodeText(unsigned code) {
    return "неизвестный код " + std::to_string(code);
}

std::string ChannelSchemeText(unsigned scheme) {
    static const char* const Texts[ChannelSchemeCount] = {
        "1 однолучевой канал",
        "2 однолучевых канала",
        "1 двухлучевой канал",
        "4 однолучевых канала",
        "1 двухлучевой канал и 2 однолучевых канала",
        "2 двухлучевых канала",
        "1 четырёхлучевой канал",
    };
    return scheme < ChannelSchemeCount ? Texts[scheme] : UnknownCodeText(scheme);
}

std::string BaudRateText(unsigned code) {
    static const char* const Texts[10] = {"выключен", "2400",  "4800",  "9600",  "14400",
                                          "19200",    "28800", "38400", "57600", "115200"};
    return code < 10 ? Texts[code] : UnknownCodeText(code);
}

std::string ParityText(unsigned code) {
    static const char* const Texts[3] = {"нет", "чёт", "нечет"};
    return code < 3 ? Texts[code] : UnknownCodeText(code);
}

} // namespace virs
