// The port alias folder is trusted only when no one else can change it: a real
// directory of the user, not writable by group or others, with links of the
// user. Anything else is ignored and the lookup says why.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <functional>

#include "link/PortNames.h"
#include "link/SerialPort.h"
#include "tests/link/PtyPair.h"

namespace virs {
namespace {

namespace fs = std::filesystem;

// The uid given to folders and links "of another user" (nobody).
constexpr unsigned OtherUid = 65534;

// A pseudo-terminal planted as COM7 and COM200 in `ports` under a private
// temporary folder; VIRS_PORTS_DIR points at `ports` while the object lives.
struct TPlantedFolder {
    test::TPty Pty;
    test::TTempDir Dir;
    fs::path Real = Dir.Path / "ports";
    fs::path Folder = Real;

    TPlantedFolder() {
        fs::create_directory(Real);
        fs::permissions(Real, fs::perms::owner_all, fs::perm_options::replace);
        fs::create_symlink(Pty.SlavePath, Real / "COM7");
        fs::create_symlink(Pty.SlavePath, Real / "COM200");
        ::setenv("VIRS_PORTS_DIR", Folder.c_str(), 1);
    }
    ~TPlantedFolder() { ::unsetenv("VIRS_PORTS_DIR"); }
    // The folder is used through a symlink to the real one.
    void UseLinkToFolder() {
        Folder = Dir.Path / "ports-link";
        fs::create_symlink(Real, Folder);
        ::setenv("VIRS_PORTS_DIR", Folder.c_str(), 1);
    }
};

struct TAliasCase {
    const char* Name;
    std::function<void(TPlantedFolder&)> Plant;
    bool NeedsRoot;    // chown to another uid
    const char* Why;   // the reason named in the notice
    bool LinkDistrust; // the folder is fine, the links are not
};

class PortAlias : public ::testing::TestWithParam<TAliasCase> {};

TEST_P(PortAlias, UntrustedAliasIsIgnoredAndNamed) {
    const TAliasCase& c = GetParam();
    if (c.NeedsRoot && ::geteuid() != 0)
        GTEST_SKIP() << "giving a folder or link to another user needs root";
    TPlantedFolder planted;
    c.Plant(planted);
    const std::string folder = planted.Folder.string();
    auto expected = [&](const std::string& com, const std::string& then) {
        return (c.LinkDistrust ? "Псевдоним " + com + " в " + folder + " не используется: "
                               : "Псевдонимы портов в " + folder + " не используются: ") +
               c.Why + "; " + then;
    };

    // Each number maps as if there were no alias.
    const TComPortLookup low = LookUpComPort(7);
    EXPECT_EQ(low.Path, fs::path("/dev/ttyS6"));
    EXPECT_EQ(low.Notice.Text, expected("COM7", "COM7 открывается как /dev/ttyS6"));
    EXPECT_EQ(low.Notice.Folder, planted.Folder);
    const TComPortLookup high = LookUpComPort(200);
    EXPECT_TRUE(high.Path.empty()) << high.Path;
    EXPECT_EQ(high.Notice.Text, expected("COM200", "другого устройства для COM200 нет"));

    // Nothing is opened for COM200, the planted line gets nothing and is not listed.
    TPortOpenResult opened = OpenComPort(200);
    EXPECT_FALSE(opened.Port);
    EXPECT_EQ(opened.AliasNotice.Text, high.Notice.Text);
    EXPECT_TRUE(planted.Pty.Receive(50).empty());
    const std::vector<TSerialPortInfo> listed = EnumerateSerialPorts();
    EXPECT_TRUE(std::none_of(listed.begin(), listed.end(),
                             [](const TSerialPortInfo& p) { return p.Number == 200; }));
}

const TAliasCase AliasCases[] = {
    {"FolderWritableByOthers", [](TPlantedFolder& p) { ::chmod(p.Real.c_str(), 0777); }, false,
     "в папку могут писать другие пользователи (права 0777)", false},
    {"FolderWritableByGroup", [](TPlantedFolder& p) { ::chmod(p.Real.c_str(), 0770); }, false,
     "в папку могут писать другие пользователи (права 0770)", false},
    {"StickyFolderWritableByOthers", [](TPlantedFolder& p) { ::chmod(p.Real.c_str(), 01733); },
     false, "в папку могут писать другие пользователи (права 1733)", false},
    {"FolderIsASymlink", [](TPlantedFolder& p) { p.UseLinkToFolder(); }, false,
     "это символическая ссылка, а не папка", false},
    {"FolderOfAnotherUser",
     [](TPlantedFolder& p) { ASSERT_EQ(::chown(p.Real.c_str(), OtherUid, OtherUid), 0); }, true,
     "папка принадлежит другому пользователю (uid 65534)", false},
    {"LinkOfAnotherUser",
     [](TPlantedFolder& p) {
         ASSERT_EQ(::lchown((p.Real / "COM7").c_str(), OtherUid, OtherUid), 0);
         ASSERT_EQ(::lchown((p.Real / "COM200").c_str(), OtherUid, OtherUid), 0);
     },
     true, "ссылку создал другой пользователь (uid 65534)", true},
};

INSTANTIATE_TEST_SUITE_P(Link, PortAlias, ::testing::ValuesIn(AliasCases),
                         [](const auto& row) { return std::string(row.param.Name); });

// The same rule for a user who is not the folder's owner, without root: the
// owner the lookup expects is a parameter.
TEST(PortAliasOwner, FolderOfAnotherUserWithoutRoot) {
    TPlantedFolder planted;
    const TUserId someoneElse = ::geteuid() + 1;
    const TComPortLookup r = LookUpComPort(200, someoneElse);
    EXPECT_TRUE(r.Path.empty());
    EXPECT_EQ(r.Notice.Text, "Псевдонимы портов в " + planted.Folder.string() +
                                 " не используются: папка принадлежит другому пользователю (uid " +
                                 std::to_string(::geteuid()) +
                                 "); другого устройства для COM200 нет");
    EXPECT_EQ(AliasFolderDistrust(planted.Folder, ::geteuid()), "");
}

TEST(PortAliasOwner, OwnFolderAndLinksAreUsed) {
    TPlantedFolder planted;
    for (unsigned n : {7u, 200u}) {
        const TComPortLookup r = LookUpComPort(n);
        EXPECT_EQ(r.Path, planted.Folder / ("COM" + std::to_string(n)));
        EXPECT_TRUE(r.Notice.Text.empty()) << r.Notice.Text;
    }
    TPortOpenResult opened = OpenComPort(200);
    ASSERT_TRUE(opened.Port) << opened.Error;
    EXPECT_TRUE(opened.AliasNotice.Text.empty());
    const test::Bytes ping{0x01, 0x03};
    ASSERT_TRUE(opened.Port->Write(ping.data(), ping.size()).Ok);
    EXPECT_EQ(planted.Pty.Receive(200), ping);
}

TEST(PortAliasOwner, MissingAliasOrFolderGivesNoNotice) {
    test::TTempDir dir;
    ::setenv("VIRS_PORTS_DIR", (dir.Path / "none").c_str(), 1);
    EXPECT_EQ(LookUpComPort(7).Path, fs::path("/dev/ttyS6"));
    EXPECT_EQ(LookUpComPort(200).Path, dir.Path / "none" / "COM200");
    EXPECT_TRUE(LookUpComPort(200).Notice.Text.empty());
    // Above COM96 a missing alias keeps its path (the open names it), but
    // never one in a folder others may write to, where it could appear later.
    fs::create_directory(dir.Path / "open");
    ::chmod((dir.Path / "open").c_str(), 0777);
    ::setenv("VIRS_PORTS_DIR", (dir.Path / "open").c_str(), 1);
    EXPECT_TRUE(LookUpComPort(200).Path.empty());
    EXPECT_TRUE(LookUpComPort(200).Notice.Text.empty());
    ::unsetenv("VIRS_PORTS_DIR");
}

TEST(PortAliasNotices, OncePerFolder) {
    TPortAliasNotices notices;
    const TPortAliasNotice a{"/tmp/a", "папка a"}, a2{"/tmp/a", "ссылка в a"},
        b{"/tmp/b", "папка b"};
    EXPECT_EQ(notices.FirstTime(TPortAliasNotice{}), "");
    EXPECT_EQ(notices.FirstTime(a), "папка a");
    EXPECT_EQ(notices.FirstTime(a), "");
    EXPECT_EQ(notices.FirstTime(a2), "");
    EXPECT_EQ(notices.FirstTime(b), "папка b");
}

} // namespace
} // namespace virs
