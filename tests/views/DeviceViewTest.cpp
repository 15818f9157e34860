// Dispatch of the tab index, the archive seam, the work area as the views see
// it, and rendering of arbitrary images.

#include <cmath>
#include <cstring>
#include <random>
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

const TViewLocale Ru = RussianViewLocale();

struct Seam {
    std::vector<int> Calls;
    TArchiveViewRenderer Renderer() {
        return [this](const TDevice& device, int tab, const TViewLocale&, TViewLines& lines) {
            Calls.push_back(tab);
            lines.push_back("архив " + std::to_string(device.DeviceType) + "/" +
                            std::to_string(tab));
        };
    }
};

enum class Branch { Current, Archive, Settings, Empty };

struct DispatchCase {
    std::uint8_t Type;
    int Tab;
    Branch Expected;
};

class DispatchTest : public ::testing::TestWithParam<DispatchCase> {};

TEST_P(DispatchTest, TabIndexAndType) {
    const DispatchCase& c = GetParam();
    DeviceWorkArea area;
    Seam seam;
    const TDevice d = MakeDevice(c.Type, "", 5);
    const TDeviceViewText text = RenderDeviceView(c.Tab, d, area, Ru, seam.Renderer());
    ASSERT_TRUE(text.Replaced);
    switch (c.Expected) {
    case Branch::Current:
        ASSERT_GE(text.Lines.size(), 2u);
        EXPECT_EQ(text.Lines[1], "сетевой номер: 5");
        EXPECT_TRUE(seam.Calls.empty());
        break;
    case Branch::Archive:
        ASSERT_EQ(seam.Calls, std::vector<int>{c.Tab});
        EXPECT_EQ(text.Lines,
                  TViewLines{"архив " + std::to_string(c.Type) + "/" + std::to_string(c.Tab)});
        break;
    case Branch::Settings:
        ASSERT_FALSE(text.Lines.empty());
        EXPECT_TRUE(seam.Calls.empty());
        EXPECT_EQ(text.ClearStatusText, c.Type != DeviceVirsD2);
        break;
    case Branch::Empty:
        EXPECT_TRUE(text.Lines.empty());
        EXPECT_TRUE(seam.Calls.empty());
        EXPECT_FALSE(text.ClearStatusText);
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, DispatchTest,
    ::testing::Values(DispatchCase{0, 0, Branch::Current}, DispatchCase{0, 1, Branch::Empty},
                      DispatchCase{1, 3, Branch::Empty}, DispatchCase{2, 4, Branch::Empty},
                      DispatchCase{3, 0, Branch::Current}, DispatchCase{3, 1, Branch::Archive},
                      DispatchCase{3, 2, Branch::Archive}, DispatchCase{3, 3, Branch::Empty},
                      DispatchCase{3, 4, Branch::Empty}, DispatchCase{4, 0, Branch::Current},
                      DispatchCase{4, 1, Branch::Archive}, DispatchCase{4, 2, Branch::Archive},
                      DispatchCase{4, 3, Branch::Archive}, DispatchCase{4, 4, Branch::Settings},
                      DispatchCase{5, 1, Branch::Archive}, DispatchCase{5, 3, Branch::Archive},
                      DispatchCase{5, 4, Branch::Settings}, DispatchCase{6, 0, Branch::Current},
                      DispatchCase{6, 1, Branch::Archive}, DispatchCase{6, 2, Branch::Archive},
                      DispatchCase{6, 3, Branch::Settings}, DispatchCase{6, 4, Branch::Empty},
                      DispatchCase{7, 1, Branch::Empty}, DispatchCase{7, 4, Branch::Empty}));

TEST(Dispatch, IndexOutsideTheTabsKeepsThePane) {
    DeviceWorkArea area;
    Seam seam;
    TDevice d = MakeDevice(DeviceVirsSh);
    PutU16(d.DataImage, 0, 0x1234);
    for (int tab : {-1, 5, 255, -1000}) {
        const TDeviceViewText text = RenderDeviceView(tab, d, area, Ru, seam.Renderer());
        EXPECT_FALSE(text.Replaced) << tab;
        EXPECT_TRUE(text.Lines.empty());
    }
    EXPECT_TRUE(seam.Calls.empty());
    EXPECT_EQ(area.ShCurrentBlock.Bytes[0], 0); // nothing was loaded
}

// A name read from base.dat is shown with its control bytes as pictures, so
// none can reach a terminal or break a line of the pane.
TEST(WorkAreaAndViews, ControlBytesOfTheNameAreShownVisibly) {
    DeviceWorkArea area;
    TDevice d = MakeDevice(DeviceVirsD);
    ASSERT_TRUE(d.NameSlot.Value.Set("Ввод\x1b]0;x\x07\n2"));
    const TDeviceViewText text = RenderDeviceView(0, d, area, Ru);
    ASSERT_FALSE(text.Lines.empty());
    EXPECT_EQ(text.Lines[0], "Ввод\u241b]0;x\u2407\u240a2");
}

TEST(Dispatch, ArchiveTabWithoutRendererIsEmpty) {
    DeviceWorkArea area;
    const TDeviceViewText text = RenderDeviceView(2, MakeDevice(DeviceVirsD), area, Ru);
    EXPECT_TRUE(text.Replaced);
    EXPECT_TRUE(text.Lines.empty());
}

TEST(WorkAreaAndViews, CurrentViewLoadsTheStoredImage) {
    DeviceWorkArea area;
    TDevice d = MakeDevice(DeviceVirsD);
    for (std::size_t i = 0; i < 164; ++i)
        d.DataImage[i] = static_cast<std::uint8_t>(i + 1);
    d.DataImage[164] = 0xEE; // beyond the stored image
    RenderDeviceView(0, d, area, Ru);
    EXPECT_EQ(std::memcmp(area.DCurrentBlock.Bytes, d.DataImage, 128), 0);
    EXPECT_EQ(std::memcmp(area.ArchiveTotals.Bytes, d.DataImage + 128, 36), 0);
    EXPECT_EQ(area.D2Image.Bytes[0], 0);
    EXPECT_EQ(area.DSettingsBlock.Bytes[0], 0);
}

TEST(WorkAreaAndViews, D2SettingsShowWhatTheCurrentViewLoaded) {
    DeviceWorkArea area;
    TDevice d = MakeDevice(DeviceVirsD2);
    PutU8(d.DataImage, 184, 5);  // scheme, stored by a settings job
    PutU8(d.DataImage, 185, 33); // network address
    PutU8(d.DataImage, 186, 9);  // baud-rate code

    // Before the current view has been shown the work area holds zeros.
    TDeviceViewText before = RenderDeviceView(3, d, area, Ru);
    EXPECT_EQ(before.Lines[3], "Схема включения          1 однолучевой канал");

    RenderDeviceView(0, d, area, Ru);
    const TDeviceViewText after = RenderDeviceView(3, d, area, Ru);
    EXPECT_EQ(after.Lines[3], "Схема включения          2 двухлучевых канала");
    EXPECT_EQ(after.Lines[4], "Сетевой номер            33");
    EXPECT_EQ(after.Lines[5], "Скорость обмена          115200");
}

TEST(WorkAreaAndViews, DSettingsViewReadsTheWorkAreaAsItStands) {
    DeviceWorkArea area;
    PutF32(area.DSettingsBlock.Bytes, (408 - 400) * 2, 42.0f);
    TDevice d = MakeDevice(DeviceVirsD);
    std::memset(d.DataImage, 0xFF, sizeof d.DataImage); // never consulted by this view
    const TDeviceViewText text = RenderDeviceView(4, d, area, Ru);
    EXPECT_EQ(text.Lines[1],
              "  Шкала,м3/час        Mx  " + Sp(7) + "42,0" + Sp(5) + Sp(8) + "0,0" + Sp(5));
    EXPECT_EQ(area.DCurrentBlock.Bytes[0], 0);
}

// Whatever bytes a stored image or the work area holds, every view renders
// without reading outside an image (run under AddressSanitizer in the sanitizer
// build), and the text it gives is well-formed and bounded.
TEST(ArbitraryImages, EveryViewOfRandomImagesRenders) {
    std::mt19937 random(20240506);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> pick(0, 9);
    const double specialTimes[] = {std::nan(""), INFINITY, -INFINITY, 1e300,
                                   -1e300,       -0.5,     0,         45000.75};
    for (int round = 0; round < 400; ++round) {
        TDevice d = MakeDevice(static_cast<std::uint8_t>(round % 8), round % 3 ? "Прибор" : "");
        for (std::uint8_t& b : d.DataImage)
            b = static_cast<std::uint8_t>(byte(random));
        if (pick(random) < 3) // bytes that decode to NaN and infinities
            for (std::size_t i = 0; i + 3 < sizeof d.DataImage; i += 4)
                PutU32(d.DataImage, i, pick(random) < 5 ? 0x7FC00000u : 0xFF800000u);
        std::uint64_t bits = 0;
        for (int i = 0; i < 8; ++i)
            bits = (bits << 8) | static_cast<std::uint64_t>(byte(random));
        std::memcpy(&d.DataReadAt, &bits, sizeof bits);
        if (round % 2)
            d.DataReadAt = specialTimes[round / 2 % 8];

        DeviceWorkArea area;
        auto* raw = reinterpret_cast<std::uint8_t*>(&area.DSettingsBlock);
        for (std::size_t i = 0; i < sizeof area.DSettingsBlock; ++i)
            raw[i] = static_cast<std::uint8_t>(byte(random));
        for (std::uint8_t& b : area.D2Image.Bytes)
            b = static_cast<std::uint8_t>(byte(random));

        for (int tab = -1; tab <= 5; ++tab) {
            const TDeviceViewText text = RenderDeviceView(tab, d, area, Ru);
            EXPECT_EQ(text.Replaced, tab >= 0 && tab <= 4);
            for (const std::string& line : text.Lines) {
                ASSERT_LT(line.size(), 2000u) << line;
                ASSERT_TRUE(IsWellFormedUtf8(line)) << line;
            }
            // The same record and work area give the same text again.
            EXPECT_EQ(RenderDeviceView(tab, d, area, Ru).Lines, text.Lines);
        }
    }
}

} // namespace
} // namespace virs
