// Fuzz target: whatever a device's stored image, its read stamp and the settings
// blocks of the work area hold, every view renders without reading outside an
// image, gives well-formed UTF-8 lines of bounded length, and gives the same
// text again for the same input.
//
// Input: byte 0 device type, byte 1 tab index (as a signed byte), bytes 2..9
// DataReadAt, then the DataImage (1025 bytes), then the work area's ВИРС-Д /
// ВИРС-ДК settings block (680 bytes) and ВИРС-Д2 image (444 bytes, what the
// settings view reads); whatever is missing stays zero.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "acquisition/WorkArea.h"
#include "model/TextCodec.h"
#include "views/DeviceView.h"

namespace {

std::size_t Take(const std::uint8_t*& data, std::size_t& size, void* to, std::size_t n) {
    const std::size_t k = n < size ? n : size;
    if (k)
        std::memcpy(to, data, k);
    data += k;
    size -= k;
    return k;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace virs;
    if (size < 2)
        return 0;
    TDevice device = NewDeviceRecord();
    device.DeviceType = data[0];
    const int tab = static_cast<std::int8_t>(data[1]);
    data += 2;
    size -= 2;
    std::memset(device.DataImage, 0, sizeof device.DataImage);
    device.DataReadAt = 0;
    Take(data, size, &device.DataReadAt, sizeof device.DataReadAt);
    Take(data, size, device.DataImage, sizeof device.DataImage);
    DeviceWorkArea area;
    Take(data, size, area.DSettingsBlock.Bytes, sizeof area.DSettingsBlock.Bytes);
    Take(data, size, area.D2Image.Bytes, sizeof area.D2Image.Bytes);

    const TViewLocale locale = RussianViewLocale();
    const TDeviceViewText first = RenderDeviceView(tab, device, area, locale);
    if (first.Replaced != (tab >= 0 && tab <= 4))
        std::abort();
    for (const std::string& line : first.Lines)
        if (line.size() > 2000 || !virs::IsWellFormedUtf8(line))
            std::abort();
    if (RenderDeviceView(tab, device, area, locale).Lines != first.Lines)
        std::abort();
    return 0;
}
