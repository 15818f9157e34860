#include "tests/workbook/ExportBooks.h"

#include <filesystem>
#include <stdexcept>

#include "views/ArchiveExport.h"

namespace virs::test {

namespace {

struct TExportCase {
    TDeviceType Type;
    TArchiveKind Kind;
    bool Integrators;
    const char* Device; // device name, and so the file name
};

} // namespace

std::vector<TSampleBook> MakeExportBooks(const std::string& dir) {
    const TExportCase cases[] = {
        {DeviceVirsSh, TArchiveKind::Daily, false, "ш-сутки"},
        {DeviceVirsSh, TArchiveKind::Hourly, false, "ш-часы"},
        {DeviceVirsD, TArchiveKind::Daily, false, "д-сутки"},
        {DeviceVirsD, TArchiveKind::Hourly, true, "д-часы"},
        {DeviceVirsDK, TArchiveKind::Monthly, false, "дк-месяцы"},
        {DeviceVirsD2, TArchiveKind::Daily, false, "д2-сутки"},
        {DeviceVirsD2, TArchiveKind::Hourly, true, "д2-часы"},
        // The ВИРС-Д's workbook again: its own file, formats raised by 16.
        {DeviceVirsD, TArchiveKind::Monthly, false, "д-сутки"},
    };
    std::vector<TSampleBook> books;
    TWorkbook xls;
    TWorkbookArchiveSink sink(xls, dir, RussianViewLocale());
    std::vector<TDevice> devices;
    devices.reserve(std::size(cases));
    for (const TExportCase& c : cases) {
        TDevice* device = nullptr;
        for (TDevice& d : devices)
            if (d.NameSlot.Value.Get() == c.Device)
                device = &d;
        if (!device) {
            devices.push_back(NewDeviceRecord());
            device = &devices.back();
            device->NameSlot.Value.Set(c.Device);
            device->DeviceType = c.Type;
        }
        TArchiveHead head;
        head.Type = c.Type;
        head.Kind = c.Kind;
        head.Integrators = c.Integrators;
        head.FirstDay = EncodeDate(2024, 2, 1);
        head.LastDay = EncodeDate(2024, 2, 29);
        head.Now = EncodeDateTime(2024, 3, 1, 9, 5, 17);
        head.NodeName = "Котельная №3 «Юг»";
        head.DeviceName = c.Device;
        head.NetAddress = 17;
        head.SerialNumber = 4321;
        std::uint16_t row = sink.Open(*device, head);
        const bool hourly = c.Kind == TArchiveKind::Hourly;
        for (int i = 0; i < 30; ++i) {
            const TDateTime when =
                hourly ? EncodeDateTime(2024, 2, 1 + i / 24, i % 24) : EncodeDate(2024, 2, 1 + i);
            if (c.Type == DeviceVirsSh) {
                TShArchiveRow r;
                r.Volume = 1234567.125 + i * 0.001;
                r.Hours = i % 25;
                r.Events = i % 3 ? "" : " Oшибки в измерениях. Низкое напряжение питания.";
                sink.AddShRow(row++, when, r);
            } else if (c.Type == DeviceVirsD2) {
                TD2ArchiveRow r;
                for (int k = 0; k < 8; ++k) {
                    r.Volumes[k] = k * 1000.5 - i;
                    r.Times[k] = (k + i) / 3600.0;
                }
                for (std::string& e : r.ChannelEvents)
                    e = i % 2 ? "CO><RE" : "      ";
                r.DeviceEvents = "EI S";
                sink.AddD2Row(row++, when, r);
            } else {
                TDArchiveRow r;
                for (int k = 0; k < 4; ++k) {
                    r.Volumes[k] = 0.001 * (i + k);
                    r.Times[k] = 24 - 0.0001 * i;
                }
                r.Absence = -0.5 * i;
                r.Events = i % 4 ? "X < >  X < > " : "             ";
                sink.AddDRow(row++, when, r);
            }
        }
        if ((c.Type == DeviceVirsD || c.Type == DeviceVirsDK) && !c.Integrators) {
            TDArchiveRow totals;
            totals.Volumes[0] = 4294967295.0;
            totals.Absence = 12.25;
            sink.AddDTotals(row, totals);
        }
        const std::string error = sink.Save();
        if (!error.empty())
            throw std::runtime_error("export not written: " + error);
        const std::string stem = std::filesystem::path(xls.FileName()).stem().string();
        // The last book of a file is the one the readers see.
        std::erase_if(books, [&](const TSampleBook& b) { return b.Name == stem; });
        books.push_back(TSampleBook{stem, xls});
    }
    return books;
}

} // namespace virs::test
