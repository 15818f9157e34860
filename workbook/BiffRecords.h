#pragma once
// Record ids of the .xls record stream (BIFF) and little-endian byte helpers
// shared by the writer and the reader.

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace virs::biff {

enum TRecordId : std::uint16_t {
    RecDimensions = 0x0200,
    RecBlank = 0x0201,
    RecNumber = 0x0203,
    RecLabel = 0x0204,
    RecBoolErr = 0x0205,
    RecString = 0x0207,
    RecRow = 0x0208,
    RecIndex = 0x020B,
    RecStyle = 0x0293,
    RecWindow2 = 0x023E,
    RecRk = 0x027E,
    RecFormat = 0x041E,
    RecBof = 0x0809,
    RecBof2 = 0x0009, // BOFs of the versions before Excel 5
    RecBof3 = 0x0209,
    RecBof4 = 0x0409,
    RecEof = 0x000A,
    RecFormula = 0x0006,
    RecFormula4 = 0x0406,
    RecPrecision = 0x000E,
    RecDateMode = 0x0022, // the 1904 date system flag
    RecFilePass = 0x002F,
    RecFont = 0x0031,
    RecContinue = 0x003C,
    RecWindow1 = 0x003D,
    RecCodePage = 0x0042,
    RecDefColWidth = 0x0055,
    RecBoundSheet = 0x0085,
    RecMulRk = 0x00BD,
    RecMulBlank = 0x00BE,
    RecRString = 0x00D6,
    RecDbCell = 0x00D7,
    RecXf = 0x00E0,
    RecSst = 0x00FC,
    RecLabelSst = 0x00FD,
};

enum TBofVersion : std::uint16_t { Biff5Version = 0x0500, Biff8Version = 0x0600 };
enum TBofType : std::uint16_t {
    BofGlobals = 0x0005,
    BofVbModule = 0x0006,
    BofWorksheet = 0x0010,
    BofChart = 0x0020,
    BofMacroSheet = 0x0040,
    BofWorkspace = 0x0100,
};

inline constexpr std::uint16_t CodePage1251 = 1251;
inline constexpr std::uint8_t CharsetCyrillic = 204;
inline constexpr std::size_t MaxRecordData = 8224; // BIFF8 limit; Excel 5 keeps to 2080

inline std::uint16_t GetU16(const char* p) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(p[0]) |
                                      static_cast<unsigned char>(p[1]) << 8);
}
inline std::uint32_t GetU32(const char* p) {
    return static_cast<std::uint32_t>(GetU16(p)) | static_cast<std::uint32_t>(GetU16(p + 2)) << 16;
}
inline double GetF64(const char* p) {
    std::uint64_t bits =
        static_cast<std::uint64_t>(GetU32(p)) | static_cast<std::uint64_t>(GetU32(p + 4)) << 32;
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// Appends little-endian values to a byte string.
class TByteSink {
public:
    explicit TByteSink(std::string& out) : Out_(out) {}
    void U8(std::uint8_t v) { Out_.push_back(static_cast<char>(v)); }
    void U16(std::uint16_t v) {
        U8(static_cast<std::uint8_t>(v));
        U8(static_cast<std::uint8_t>(v >> 8));
    }
    void U32(std::uint32_t v) {
        U16(static_cast<std::uint16_t>(v));
        U16(static_cast<std::uint16_t>(v >> 16));
    }
    void F64(double v) {
        std::uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        U32(static_cast<std::uint32_t>(bits));
        U32(static_cast<std::uint32_t>(bits >> 32));
    }
    void Bytes(std::string_view b) { Out_.append(b); }

    // A record: id, then a length patched in by EndRecord.
    void BeginRecord(std::uint16_t id) {
        U16(id);
        LengthAt_ = Out_.size();
        U16(0);
    }
    void EndRecord() {
        std::size_t length = Out_.size() - LengthAt_ - 2;
        Out_[LengthAt_] = static_cast<char>(length & 0xFF);
        Out_[LengthAt_ + 1] = static_cast<char>(length >> 8);
    }
    std::size_t Size() const { return Out_.size(); }
    void PatchU32(std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            Out_[at + i] = static_cast<char>(v >> (8 * i));
    }

private:
    std::string& Out_;
    std::size_t LengthAt_ = 0;
};

} // namespace virs::biff
