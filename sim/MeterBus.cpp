#include "sim/MeterBus.h"

#include "sim/Noise.h"
#include "sim/SimCrc.h"

namespace virs::sim {

namespace {
constexpr u8 FnRead = 3, FnWrite = 16, FnHeader = 67;
u16 Word(const Bytes& f, std::size_t i) {
    return static_cast<u16>(f[i] << 8 | f[i + 1]);
}
} // namespace

TFrameScan ScanRequest(const Bytes& b, std::size_t& length) {
    if (b.size() < 2)
        return TFrameScan::Incomplete;
    switch (b[1]) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
    case FnHeader:
        length = 8;
        break;
    case 15:
    case FnWrite:
        if (b.size() < 7)
            return TFrameScan::Incomplete;
        length = 9u + b[6];
        break;
    default:
        return TFrameScan::Unknown;
    }
    return b.size() >= length ? TFrameScan::Complete : TFrameScan::Incomplete;
}

Bytes ReadAnswer(u8 address, u8 function, const std::vector<u16>& values) {
    Bytes out{address, function, static_cast<u8>(2 * values.size())};
    for (u16 v : values) {
        out.push_back(static_cast<u8>(v >> 8)); // high byte first on the wire
        out.push_back(static_cast<u8>(v & 0xFF));
    }
    AppendCrc(out);
    return out;
}

Bytes ExceptionAnswer(u8 address, u8 function, u8 code) {
    Bytes out{address, static_cast<u8>(function | 0x80), code};
    AppendCrc(out);
    return out;
}

TSimMeter* TMeterBus::MeterAt(u8 address) const {
    for (const auto& m : Meters_)
        if (m->AnswersAt(address))
            return m.get();
    return nullptr;
}

TReplyPlan TMeterBus::Handle(const Bytes& f, SimSeconds now, std::string* note) {
    std::lock_guard lock(Lock_);
    auto say = [&](const std::string& s) {
        if (note)
            *note = s;
    };
    if (f.size() < 4 || !CrcMatches(f)) {
        say("кадр с неверной контрольной суммой: без ответа");
        return {};
    }
    const u8 address = f[0], fn = f[1];
    if (address == 0) {
        // Broadcast: every meter that understands it takes it; nobody answers.
        int taken = 0;
        if (fn == FnWrite && f.size() >= 9 && f.size() == 9u + f[6] && f[6] == 2 * Word(f, 4)) {
            std::vector<u16> values;
            for (std::size_t i = 0; i < Word(f, 4); ++i)
                values.push_back(Word(f, 7 + 2 * i));
            for (const auto& m : Meters_)
                taken += m->TakeBroadcast(Word(f, 2), values) ? 1 : 0;
        }
        say("широковещательный кадр, принят приборами: " + std::to_string(taken));
        return {};
    }
    // A frame of the wrong length for its function is no request a meter could take.
    if (((fn == FnRead || fn == FnHeader) && f.size() != 8) || (fn == FnWrite && f.size() < 9)) {
        say("кадр неверной длины: без ответа");
        return {};
    }
    TSimMeter* meter = MeterAt(address);
    if (!meter) {
        say("нет прибора с адресом " + std::to_string(address));
        return {};
    }
    const TFault* fault = Faults_.Next(address);
    Bytes answer;
    u8 code = 0;
    if (fn == FnRead || fn == FnHeader) {
        const u16 start = Word(f, 2), count = Word(f, 4);
        if (fn == FnRead) {
            std::vector<u16> values;
            code = count < 1 || count > 125 ? ExIllegalValue
                                            : meter->ReadRegisters(start, count, now, values);
            if (!code)
                answer = ReadAnswer(address, fn, values);
        } else {
            std::array<u8, 3> header{};
            code = meter->ReadRecordHeader(start, now, header);
            if (!code) {
                answer = {address, fn, header[0], header[1], header[2]};
                AppendCrc(answer);
            }
        }
    } else if (fn == FnWrite) {
        const u16 start = Word(f, 2), count = Word(f, 4);
        if (count < 1 || count > 123 || f[6] != 2 * count || f.size() != 9u + f[6]) {
            code = ExIllegalValue;
        } else {
            std::vector<u16> values;
            for (std::size_t i = 0; i < count; ++i)
                values.push_back(Word(f, 7 + 2 * i));
            code = meter->WriteRegisters(start, values, now);
        }
        if (!code) {
            answer.assign(f.begin(), f.begin() + 6);
            AppendCrc(answer);
        }
    } else {
        code = ExIllegalFunction;
    }
    if (code)
        answer = ExceptionAnswer(address, fn, code);
    std::string text = std::string(MeterKindName(meter->Kind())) + "@" + std::to_string(address) +
                       " функция " + std::to_string(fn) +
                       (code ? ", исключение " + std::to_string(code) : "");
    if (!fault) {
        say(text);
        return {{answer, 0}};
    }
    say(text + ", сбой " + FaultKindName(fault->Kind));
    return SpoilAnswer(*fault, answer, address, fn,
                       HashOf(0xF00D, address, static_cast<u64>(Faults_.RequestsSeen(address))));
}

} // namespace virs::sim
