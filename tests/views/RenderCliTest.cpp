// virs-cli render: a device of a base.dat printed without any link.

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "model/StationBase.h"
#include "tests/views/TestImages.h"

namespace virs {
namespace {

namespace fs = std::filesystem;
using namespace test;

class RenderCli : public ::testing::Test {
protected:
    void SetUp() override {
#ifdef VIRS_CLI_PATH
        Cli = VIRS_CLI_PATH;
#endif
        if (Cli.empty() || !fs::exists(Cli))
            GTEST_SKIP() << "virs-cli is not built";
        Dir = fs::temp_directory_path() /
              ("views-render-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(Dir);
        fs::create_directories(Dir);
        WriteBase();
    }
    void TearDown() override {
        if (!Dir.empty())
            fs::remove_all(Dir);
    }

    // One node with a ВИРС-Ш (read once) and a ВИРС-Д2 whose settings were stored.
    void WriteBase() {
        StationBase base;
        ASSERT_EQ(base.InsertNode(0), TModelStatus::Ok);
        base.SelNode = 0;
        ASSERT_EQ(base.InsertDevice(0), TModelStatus::Ok);
        ASSERT_EQ(base.InsertDevice(1), TModelStatus::Ok);
        TDevice& sh = base.Devices[0][0];
        sh.DeviceType = DeviceVirsSh;
        sh.NetAddress = 4;
        sh.NameSlot.Value.Set("Насосная");
        std::memset(sh.DataImage, 0, sizeof sh.DataImage);
        PutU16(sh.DataImage, 0, 0x0087);
        PutF32(sh.DataImage, 2, 3.5f);
        sh.DataReadAt = 45000.5;
        TDevice& d2 = base.Devices[0][1];
        d2.DeviceType = DeviceVirsD2;
        d2.NetAddress = 9;
        d2.NameSlot.Value.Set("");
        std::memset(d2.DataImage, 0, sizeof d2.DataImage);
        PutU8(d2.DataImage, 184, 1); // scheme of the stored settings
        PutU8(d2.DataImage, 185, 9);
        PutU8(d2.DataImage, 186, 3);
        std::ofstream(Dir / "base.dat", std::ios::binary) << StationBaseImage(base);
    }

    int Run(const std::string& arguments) {
        const std::string command = Cli.string() + " render " + arguments + " >" +
                                    (Dir / "out.txt").string() + " 2>" + (Dir / "err.txt").string();
        const int status = std::system(command.c_str());
        Out = Slurp(Dir / "out.txt");
        Err = Slurp(Dir / "err.txt");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    static std::string Slurp(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    fs::path Cli, Dir;
    std::string Out, Err;
};

TEST_F(RenderCli, CurrentViewWithRussianConventions) {
    ASSERT_EQ(Run("--dir " + Dir.string() + " --node 0 --device 0"), 0) << Err;
    EXPECT_EQ(Out.substr(0, Out.find("версия ПО адаптера")),
              "Насосная\nприбор: ВИРС-Ш\nсетевой номер: 4\nотчёт за 15.03.2023 12:00:00\n");
    EXPECT_NE(Out.find("\n  режим: программирование\nмгновенный расход, м3/час = 3,500\n"),
              std::string::npos)
        << Out;
    // Printing a view changes nothing in the folder.
    EXPECT_FALSE(fs::exists(Dir / "base.bak"));
}

TEST_F(RenderCli, HalvesRoundAwayFromZero) {
    // 900 s and 8 100 s are 0,25 and 2,25 hours, 62 500 · 10^-6 m3 is 0,0625 m3:
    // halves that are exact in binary, shown at one and three decimals.
    StationBase base;
    ASSERT_EQ(base.InsertNode(0), TModelStatus::Ok);
    base.SelNode = 0;
    ASSERT_EQ(base.InsertDevice(0), TModelStatus::Ok);
    TDevice& sh = base.Devices[0][0];
    sh.DeviceType = DeviceVirsSh;
    std::memset(sh.DataImage, 0, sizeof sh.DataImage);
    PutU16(sh.DataImage, 0, 7);      // state word
    PutU32(sh.DataImage, 10, 62500); // volume, low half
    PutU32(sh.DataImage, 18, 900);   // operating time, s
    PutU32(sh.DataImage, 22, 8100);  // idle time, s
    std::ofstream(Dir / "base.dat", std::ios::binary | std::ios::trunc) << StationBaseImage(base);
    ASSERT_EQ(Run("--dir " + Dir.string() + " --node 0 --device 0 --view 0"), 0) << Err;
    EXPECT_NE(Out.find("\nобъём жидкости, м3 = 0,063\n"
                       "время работы, часов = 0,3\n"
                       "время простоя, часов = 2,3\n"),
              std::string::npos)
        << Out;
}

TEST_F(RenderCli, StoredD2SettingsUnderViewThree) {
    ASSERT_EQ(Run("--dir " + Dir.string() + " --node 0 --device 1 --view 3 --locale ru"), 0) << Err;
    EXPECT_NE(Out.find("Схема включения          2 однолучевых канала\n"
                       "Сетевой номер            9\n"
                       "Скорость обмена          9600\n"),
              std::string::npos)
        << Out;
    EXPECT_NE(Out.find("              КАНАЛ F2 (однолучевой)\n"), std::string::npos);
}

TEST_F(RenderCli, MissingNodeOrDeviceIsRefused) {
    EXPECT_EQ(Run("--dir " + Dir.string() + " --node 1 --device 0"), 2);
    EXPECT_NE(Err.find("узла 1 нет"), std::string::npos) << Err;
    EXPECT_TRUE(Out.empty());
    EXPECT_EQ(Run("--dir " + Dir.string() + " --node 0 --device 2"), 2);
    EXPECT_NE(Err.find("прибора 2 в узле 0 нет"), std::string::npos) << Err;
    EXPECT_EQ(Run("--dir " + Dir.string() + " --node 0 --device 0 --view 5"), 2);
    EXPECT_EQ(Run("--dir " + Dir.string() + " --node x --device 0"), 2);
    EXPECT_EQ(Run("--node 0 --device 0"), 2);
    EXPECT_EQ(Run("--dir " + (Dir / "nowhere").string() + " --node 0 --device 0"), 1);
}

TEST_F(RenderCli, SystemLocaleOfTheEnvironment) {
    ASSERT_EQ(Run("--dir " + Dir.string() + " --node 0 --device 0 --locale system"), 0) << Err;
    EXPECT_NE(Out.find("прибор: ВИРС-Ш\n"), std::string::npos);
    EXPECT_EQ(Run("--dir " + Dir.string() + " --node 0 --device 0 --locale fr"), 2);
}

} // namespace
} // namespace virs
