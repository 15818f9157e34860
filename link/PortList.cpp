// The list of serial ports present on this machine, for the port pick lists.
#include "link/PortNames.h"

#include <algorithm>
#include <map>

#ifdef _WIN32
// windows.h must come first: setupapi.h relies on its types.
#include <windows.h>

#include <setupapi.h>
#else
#include <sys/stat.h>

#include <fstream>
#include <system_error>
#endif

namespace virs {

#ifdef _WIN32

namespace {

std::string Utf16ToUtf8(const wchar_t* text) {
    int m = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (m <= 1)
        return {};
    std::string utf8(static_cast<std::size_t>(m), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), m, nullptr, nullptr);
    utf8.pop_back(); // the terminating zero
    return utf8;
}

} // namespace

// Every present device of the ports setup class whose friendly name ends in
// "(COMn)"; the description is the text before the "(", blank included.
std::vector<TSerialPortInfo> EnumerateSerialPorts() {
    static const GUID portsClass = {
        0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
    std::vector<TSerialPortInfo> ports;
    HDEVINFO list = SetupDiCreateDeviceInfoList(nullptr, nullptr);
    if (list == INVALID_HANDLE_VALUE)
        return ports;
    HDEVINFO set = SetupDiGetClassDevsExA(&portsClass, nullptr, nullptr, DIGCF_PRESENT, list,
                                          nullptr, nullptr);
    if (set != INVALID_HANDLE_VALUE) {
        SP_DEVINFO_DATA info{};
        info.cbSize = sizeof info;
        for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &info); ++i) {
            // The wide form: the name in the program's UTF-8 whatever the
            // system's ANSI code page is (a Cyrillic name on an English system).
            wchar_t name[256] = {};
            if (!SetupDiGetDeviceRegistryPropertyW(set, &info, SPDRP_FRIENDLYNAME, nullptr,
                                                   reinterpret_cast<BYTE*>(name),
                                                   sizeof name - sizeof name[0], nullptr))
                continue;
            std::string text = Utf16ToUtf8(name);
            auto open = text.find('(');
            auto close = text.find(')', open == std::string::npos ? 0 : open);
            if (open == std::string::npos || close == std::string::npos)
                continue;
            std::string port = text.substr(open + 1, close - open - 1);
            if (port.size() < 4 || port.compare(0, 3, "COM") != 0 ||
                !std::all_of(port.begin() + 3, port.end(),
                             [](char c) { return c >= '0' && c <= '9'; }))
                continue; // parallel ports and names of another form
            unsigned n = static_cast<unsigned>(std::stoul(port.substr(3)));
            if (n < 1 || n > 255)
                continue;
            ports.push_back({n, text.substr(0, open)});
        }
    }
    SetupDiDestroyDeviceInfoList(list);
    std::sort(ports.begin(), ports.end(), [](const TSerialPortInfo& a, const TSerialPortInfo& b) {
        return a.Number < b.Number;
    });
    return ports;
}

#else

namespace {

namespace fs = std::filesystem;

std::string ReadLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' '))
        line.pop_back();
    return line;
}

// COM number of a tty name by the fixed ranges; 0 when it has none.
unsigned FixedComNumber(const std::string& tty) {
    struct Range {
        const char* Prefix;
        unsigned First;
    };
    for (Range r : {Range{"ttyS", 1}, Range{"ttyUSB", 33}, Range{"ttyACM", 65}}) {
        std::string prefix = r.Prefix;
        if (tty.size() <= prefix.size() || tty.compare(0, prefix.size(), prefix) != 0)
            continue;
        std::string digits = tty.substr(prefix.size());
        if (digits.size() > 2 ||
            !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return 0;
        unsigned index = static_cast<unsigned>(std::stoul(digits));
        return index < 32 ? r.First + index : 0;
    }
    return 0;
}

// Driver and product of a tty from sysfs ("ftdi_sio, FTDI FT232R USB UART");
// empty when sysfs says nothing about it (a pseudo-terminal, for instance).
// The tty's own device may be a generic serial-core port ("port"); the driver
// that matters and a USB adapter's product strings sit a few levels above.
std::string SysfsDetails(const std::string& tty) {
    std::error_code ec;
    fs::path dir = fs::canonical(fs::path("/sys/class/tty") / tty / "device", ec);
    if (ec)
        return {};
    std::string driver;
    std::string product;
    for (int up = 0; up < 4 && dir.has_relative_path() && dir != "/sys/devices";
         ++up, dir = dir.parent_path()) {
        if (driver.empty() && fs::is_symlink(dir / "driver", ec)) {
            std::string name = fs::read_symlink(dir / "driver", ec).filename().string();
            if (name != "port" && name != "ctrl")
                driver = name;
        }
        if (product.empty() && fs::exists(dir / "product", ec)) {
            std::string maker = ReadLine(dir / "manufacturer");
            product = ReadLine(dir / "product");
            if (!maker.empty() && product.find(maker) == std::string::npos)
                product = maker + " " + product;
        }
    }
    if (driver.empty())
        return product;
    return product.empty() ? driver : driver + ", " + product;
}

// A ttyS line exists in sysfs even without hardware behind it; the UART type 0
// means "no port here".
bool SerialHardwarePresent(const std::string& tty) {
    if (tty.compare(0, 4, "ttyS") != 0)
        return true;
    std::string type = ReadLine(fs::path("/sys/class/tty") / tty / "type");
    return !type.empty() && type != "0";
}

std::vector<TSerialPortInfo> Listed(const std::map<unsigned, std::string>& found) {
    std::vector<TSerialPortInfo> ports;
    for (const auto& [n, description] : found)
        ports.push_back({n, description});
    return ports;
}

std::string Describe(const fs::path& devicePath) {
    std::string details = SysfsDetails(devicePath.filename().string());
    return details.empty() ? devicePath.string() : devicePath.string() + " (" + details + ")";
}

} // namespace

std::vector<TSerialPortInfo> EnumerateSerialPorts() {
    std::map<unsigned, std::string> found;
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator("/sys/class/tty", ec)) {
        std::string tty = e.path().filename().string();
        unsigned n = FixedComNumber(tty);
        if (n == 0 || !SerialHardwarePresent(tty) || !fs::exists("/dev/" + tty, ec))
            continue;
        found[n] = Describe("/dev/" + tty);
    }
    // An alias COMn wins over the fixed range, as in ComPortPath, and only the
    // aliases ComPortPath trusts are listed.
    const fs::path aliases = PortAliasFolder();
    const TUserId user = CurrentUserId();
    if (!AliasFolderDistrust(aliases, user).empty())
        return Listed(found);
    for (const fs::directory_entry& e : fs::directory_iterator(aliases, ec)) {
        std::string name = e.path().filename().string();
        if (name.size() < 4 || name.size() > 6 || name.compare(0, 3, "COM") != 0 ||
            !std::all_of(name.begin() + 3, name.end(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        unsigned n = static_cast<unsigned>(std::stoul(name.substr(3)));
        struct stat st {};
        if (n < 1 || n > 255 || ::lstat(e.path().c_str(), &st) != 0 || st.st_uid != user)
            continue;
        std::error_code linkEc;
        fs::path target = fs::canonical(e.path(), linkEc); // a dangling alias is no port
        if (linkEc)
            continue;
        found[n] = Describe(target);
    }
    return Listed(found);
}

#endif

} // namespace virs
