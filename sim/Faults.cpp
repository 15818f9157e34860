#include "sim/Faults.h"

#include "sim/Noise.h"
#include "sim/SimCrc.h"

namespace virs::sim {

namespace {
struct TKindName {
    TFaultKind Kind;
    const char* Name;
};
constexpr TKindName KindNames[] = {
    {TFaultKind::Silence, "silence"},
    {TFaultKind::Delay, "delay"},
    {TFaultKind::WrongAddress, "wrong_address"},
    {TFaultKind::BadCrc, "bad_crc"},
    {TFaultKind::Exception, "exception"},
    {TFaultKind::Truncate, "truncate"},
    {TFaultKind::LeadingZeros, "leading_zeros"},
    {TFaultKind::TrailingZeros, "trailing_zeros"},
    {TFaultKind::InnerZeros, "inner_zeros"},
    {TFaultKind::Split, "split"},
    {TFaultKind::Noise, "noise"},
};
} // namespace

bool FaultKindFromName(const std::string& name, TFaultKind& out) {
    for (const TKindName& k : KindNames)
        if (name == k.Name) {
            out = k.Kind;
            return true;
        }
    return false;
}

const char* FaultKindName(TFaultKind kind) {
    for (const TKindName& k : KindNames)
        if (k.Kind == kind)
            return k.Name;
    return "?";
}

TReplyPlan SpoilAnswer(const TFault& f, const Bytes& answer, u8 requestAddress, u8 function,
                       u64 noiseSeed) {
    const int n = f.Bytes < 0 ? 0 : f.Bytes;
    Bytes out = answer;
    int gap = 0;
    switch (f.Kind) {
    case TFaultKind::Silence:
        return {};
    case TFaultKind::Delay:
        gap = f.Ms;
        break;
    case TFaultKind::WrongAddress:
        out.resize(out.size() - 2);
        out[0] = static_cast<u8>(f.Address >= 0 ? f.Address : requestAddress + 1);
        AppendCrc(out);
        break;
    case TFaultKind::BadCrc:
        out.back() ^= 0x5A;
        break;
    case TFaultKind::Exception:
        out = {requestAddress, static_cast<u8>(function | 0x80), static_cast<u8>(f.Code)};
        AppendCrc(out);
        break;
    case TFaultKind::Truncate:
        out.resize(out.size() > static_cast<std::size_t>(n) ? out.size() - n : 0);
        if (out.empty())
            return {};
        break;
    case TFaultKind::LeadingZeros:
        out.insert(out.begin(), n, 0);
        break;
    case TFaultKind::TrailingZeros:
        out.insert(out.end(), n, 0);
        break;
    case TFaultKind::InnerZeros: {
        const std::size_t at = std::min<std::size_t>(f.At < 0 ? 0 : f.At, out.size());
        out.insert(out.begin() + static_cast<long>(at), n, 0);
        break;
    }
    case TFaultKind::Split: {
        const std::size_t at = std::min<std::size_t>(f.At < 1 ? 1 : f.At, out.size());
        Bytes second(out.begin() + static_cast<long>(at), out.end());
        out.resize(at);
        TReplyPlan plan{{out, 0}};
        if (!second.empty())
            plan.push_back({second, f.GapMs});
        return plan;
    }
    case TFaultKind::Noise:
        out.clear();
        for (int i = 0; i < n; ++i)
            out.push_back(static_cast<u8>(HashOf(noiseSeed, static_cast<u64>(i)) & 0xFF));
        break;
    }
    return {{out, gap}};
}

const TFault* TFaultBook::Next(u8 address) {
    const int seen = ++Seen_[address];
    ++SeenOnBus_;
    for (std::size_t i = 0; i < Faults_.size(); ++i) {
        const TFault& f = Faults_[i];
        if (f.Device && *f.Device != address)
            continue;
        const int n = f.Device ? seen : SeenOnBus_;
        if (f.OnRequest != 0 && (n < f.OnRequest || n >= f.OnRequest + f.Times))
            continue;
        // Each rule draws from a sequence of its own, so that two rules of a
        // few per mille each spoil about the sum of the two.
        if (f.Permille > 0 && HashOf(0x5EEDull + i, static_cast<u64>(SeenOnBus_), address) % 1000 >=
                                  static_cast<u64>(f.Permille))
            continue;
        return &f;
    }
    return nullptr;
}

int TFaultBook::RequestsSeen(u8 address) const {
    auto it = Seen_.find(address);
    return it == Seen_.end() ? 0 : it->second;
}

} // namespace virs::sim
