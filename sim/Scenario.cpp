#include "sim/Scenario.h"

#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "sim/SimTime.h"

namespace virs::sim {

using nlohmann::json;

namespace {

struct TScenarioError {
    std::string Path, Message;
};

// Walks one JSON object, remembering its path for messages and refusing keys
// it does not know (a misspelt key would otherwise be silently ignored).
class TObjectReader {
public:
    TObjectReader(const json& j, std::string path) : J_(j), Path_(std::move(path)) {
        if (!j.is_object())
            Fail("ожидается объект { … }");
    }
    ~TObjectReader() noexcept(false) {
        if (std::uncaught_exceptions())
            return;
        for (const auto& [key, value] : J_.items())
            if (!Seen_.count(key))
                throw TScenarioError{Sub(key), "неизвестный ключ"};
    }
    TObjectReader(const TObjectReader&) = delete;
    TObjectReader& operator=(const TObjectReader&) = delete;

    [[noreturn]] void Fail(const std::string& message, const std::string& key = "") const {
        throw TScenarioError{key.empty() ? Path_ : Sub(key), message};
    }
    std::string Sub(const std::string& key) const {
        return Path_.empty() ? key : Path_ + "." + key;
    }
    const json* Get(const std::string& key) {
        Seen_.insert(key);
        auto it = J_.find(key);
        return it == J_.end() ? nullptr : &*it;
    }
    bool Has(const std::string& key) const { return J_.contains(key); }

    template <typename T> void Int(const std::string& key, T& out, long long lo, long long hi) {
        const json* v = Get(key);
        if (!v)
            return;
        if (!v->is_number_integer())
            Fail("ожидается целое число", key);
        const long long x = v->get<long long>();
        if (x < lo || x > hi)
            Fail("значение " + std::to_string(x) + " вне диапазона " + std::to_string(lo) + ".." +
                     std::to_string(hi),
                 key);
        out = static_cast<T>(x);
    }
    void Number(const std::string& key, double& out) {
        if (const json* v = Get(key)) {
            if (!v->is_number())
                Fail("ожидается число", key);
            out = v->get<double>();
        }
    }
    void Bool(const std::string& key, bool& out) {
        if (const json* v = Get(key)) {
            if (!v->is_boolean())
                Fail("ожидается true или false", key);
            out = v->get<bool>();
        }
    }
    bool String(const std::string& key, std::string& out) {
        if (const json* v = Get(key)) {
            if (!v->is_string())
                Fail("ожидается строка", key);
            out = v->get<std::string>();
            return true;
        }
        return false;
    }
    const json* Array(const std::string& key) {
        const json* v = Get(key);
        if (v && !v->is_array())
            Fail("ожидается массив [ … ]", key);
        return v;
    }
    bool Time(const std::string& key, SimSeconds& out) {
        std::string text;
        if (!String(key, text))
            return false;
        if (!ParseSimTime(text, out))
            Fail("\"" + text + "\" — не дата и время вида 2024-03-15T10:00:00 (2000..2099)", key);
        return true;
    }

private:
    const json& J_;
    std::string Path_;
    std::set<std::string> Seen_;
};

std::string Index(const std::string& path, std::size_t i) {
    return path + "[" + std::to_string(i) + "]";
}

TParity ParityFrom(TObjectReader& r, const std::string& key, TParity fallback) {
    std::string s;
    if (!r.String(key, s))
        return fallback;
    if (s == "none")
        return TParity::None;
    if (s == "odd")
        return TParity::Odd;
    if (s == "even")
        return TParity::Even;
    r.Fail("чётность \"" + s + "\": допустимо none, odd, even", key);
}

TMeterConfig ReadMeter(const json& j, const std::string& path) {
    TObjectReader r(j, path);
    TMeterConfig m;
    const json* type = r.Get("type");
    if (!type)
        r.Fail("не указан тип прибора (\"type\": \"ВИРС-Ш\", \"ВИРС-Д\", \"ВИРС-ДК\" или "
               "\"ВИРС-Д2\")");
    if (type->is_number_integer()) {
        const int code = type->get<int>();
        if (code < 3 || code > 6)
            r.Fail("код типа " + std::to_string(code) + ": допустимо 3..6", "type");
        m.Kind = static_cast<TMeterKind>(code);
    } else if (!type->is_string() || !MeterKindFromName(type->get<std::string>(), m.Kind)) {
        r.Fail("неизвестный тип прибора " + type->dump() +
                   " (допустимо \"ВИРС-Ш\", \"ВИРС-Д\", \"ВИРС-ДК\", \"ВИРС-Д2\" или 3..6)",
               "type");
    }
    if (!r.Has("address"))
        r.Fail("не указан сетевой адрес (\"address\": 1..255)");
    r.Int("address", m.Address, 1, 255);
    r.Int("second_address", m.SecondAddress, 0, 255);
    r.Int("serial", m.Serial, 0, 65535);
    SimSeconds commissioned = 0;
    if (r.Time("commissioned", commissioned))
        m.Commissioned = commissioned;
    auto numbers = [&](const char* key, std::vector<double>& out) {
        if (const json* a = r.Array(key)) {
            if (a->size() > 4)
                r.Fail("не более четырёх значений", key);
            for (std::size_t i = 0; i < a->size(); ++i) {
                if (!(*a)[i].is_number())
                    throw TScenarioError{Index(r.Sub(key), i), "ожидается число"};
                out.push_back((*a)[i].get<double>());
            }
        }
    };
    numbers("flows", m.Flows);
    numbers("scale_codes", m.ScaleCodes);
    for (double f : m.Flows)
        if (f < 0 || f > 100000)
            r.Fail("расход должен быть от 0 до 100000 м3/ч", "flows");
    if (const json* a = r.Array("failed_channels"))
        for (std::size_t i = 0; i < a->size(); ++i) {
            if (!(*a)[i].is_number_integer() || (*a)[i].get<int>() < 1 || (*a)[i].get<int>() > 4)
                throw TScenarioError{Index(r.Sub("failed_channels"), i),
                                     "ожидается номер канала 1..4"};
            m.FailedChannels.push_back((*a)[i].get<int>());
        }
    if (r.Has("state_word")) {
        u16 w = 0;
        r.Int("state_word", w, 0, 65535);
        m.StateWord = w;
    }
    r.Int("channel_scheme", m.ChannelScheme, 0, 6);
    r.Number("battery", m.Battery);
    return m;
}

TFault ReadFault(const json& j, const std::string& path) {
    TObjectReader r(j, path);
    TFault f;
    std::string kind;
    if (!r.String("kind", kind))
        r.Fail("не указан вид сбоя (\"kind\")");
    if (!FaultKindFromName(kind, f.Kind))
        r.Fail("неизвестный вид сбоя \"" + kind +
                   "\" (допустимо silence, delay, wrong_address, bad_crc, exception, truncate, "
                   "leading_zeros, trailing_zeros, inner_zeros, split, noise)",
               "kind");
    if (r.Has("device")) {
        int d = 0;
        r.Int("device", d, 1, 255);
        f.Device = d;
    }
    r.Int("on_request", f.OnRequest, 0, 1000000);
    r.Int("times", f.Times, 1, 1000000);
    r.Int("permille", f.Permille, 0, 1000);
    r.Int("ms", f.Ms, 0, 600000);
    r.Int("code", f.Code, 0, 255);
    r.Int("bytes", f.Bytes, 0, 1000);
    r.Int("at", f.At, 0, 300);
    r.Int("gap_ms", f.GapMs, 0, 600000);
    r.Int("address", f.Address, 0, 255);
    if (f.Kind == TFaultKind::Exception && !r.Has("code"))
        r.Fail("для сбоя exception нужен код исключения (\"code\")");
    return f;
}

TSiteConfig ReadSite(const json& j, const std::string& path, const std::string& fallbackName) {
    TObjectReader r(j, path);
    TSiteConfig s;
    if (!r.String("name", s.Name))
        s.Name = fallbackName;
    if (const json* a = r.Array("devices"))
        for (std::size_t i = 0; i < a->size(); ++i)
            s.Meters.push_back(ReadMeter((*a)[i], Index(r.Sub("devices"), i)));
    if (const json* a = r.Array("faults"))
        for (std::size_t i = 0; i < a->size(); ++i)
            s.Faults.push_back(ReadFault((*a)[i], Index(r.Sub("faults"), i)));
    std::set<int> addresses;
    for (std::size_t i = 0; i < s.Meters.size(); ++i)
        if (!addresses.insert(s.Meters[i].Address).second)
            throw TScenarioError{Index(r.Sub("devices"), i) + ".address",
                                 "адрес " + std::to_string(s.Meters[i].Address) +
                                     " уже занят другим прибором этого узла"};
    return s;
}

TModemConfig ReadModem(const json& j, const std::string& path) {
    TObjectReader r(j, path);
    TModemConfig m;
    std::string type = "dialup";
    r.String("type", type);
    if (type != "dialup" && type != "gsm")
        r.Fail("тип модема \"" + type + "\": допустимо dialup или gsm", "type");
    m.Gsm = type == "gsm";
    r.Int("baud", m.Baud, 0, 115200);
    m.Parity = ParityFrom(r, "parity", m.Parity);
    int stop = 1;
    r.Int("stop_bits", stop, 1, 2);
    m.TwoStopBits = stop == 2;
    r.Bool("echo", m.Echo);
    r.String("manufacturer", m.Manufacturer);
    r.String("model", m.Model);
    r.String("pin", m.PinState);
    r.Int("registration", m.Registration, 0, 9);
    r.String("operator", m.Operator);
    r.Int("unknown_number_delay_ms", m.UnknownNumberDelayMs, 0, 600000);
    r.Int("reply_delay_ms", m.ReplyDelayMs, 0, 60000);
    r.Int("data_delay_ms", m.DataDelayMs, 0, 60000);
    if (const json* a = r.Array("phone_book"))
        for (std::size_t i = 0; i < a->size(); ++i) {
            TObjectReader e((*a)[i], Index(r.Sub("phone_book"), i));
            TPhoneEntry p;
            if (!e.String("number", p.Number) || p.Number.empty())
                e.Fail("не указан номер (\"number\")");
            std::string outcome = "connect";
            e.String("outcome", outcome);
            if (!DialOutcomeFromName(outcome, p.Outcome))
                e.Fail("неизвестный исход вызова \"" + outcome +
                           "\" (допустимо connect, busy, no_carrier, no_answer, voice, error, "
                           "single_byte)",
                       "outcome");
            e.String("site", p.Site);
            e.Int("delay_ms", p.DelayMs, 0, 600000);
            e.Int("byte", p.Byte, 0, 255);
            if ((p.Outcome == TDialOutcome::Connect || p.Outcome == TDialOutcome::SingleByte) &&
                p.Site.empty())
                e.Fail("для исхода " + outcome + " нужен узел (\"site\")");
            m.PhoneBook.push_back(p);
        }
    return m;
}

TBootloaderConfig ReadBoot(const json& j, const std::string& path) {
    TObjectReader r(j, path);
    TBootloaderConfig b;
    b.Enabled = true;
    r.Bool("enabled", b.Enabled);
    r.Int("baud", b.Baud, 1200, 115200);
    r.Bool("refuse_handshake", b.RefuseHandshake);
    if (r.Has("handshake_reply")) {
        u8 v = 0;
        r.Int("handshake_reply", v, 0, 255);
        b.HandshakeReply = v;
    }
    r.Int("silent_after_block", b.SilentAfterBlock, -1, BootBlocks);
    std::string file;
    if (r.String("image_file", file))
        b.ImageFile = file;
    return b;
}

void ReadScenario(const json& root, TScenario& sc) {
    TObjectReader r(root, "");
    sc = TScenario{};
    r.Int("seed", sc.Seed, 0, static_cast<long long>(1) << 62);
    SimSeconds now = 0;
    if (r.Time("now", now)) {
        sc.Now = now;
        sc.ClockRuns = false;
    }
    std::string clock;
    if (r.String("clock", clock)) {
        if (clock != "fixed" && clock != "running")
            r.Fail("\"" + clock + "\": допустимо fixed или running", "clock");
        sc.ClockRuns = clock == "running";
    }
    r.Bool("pacing", sc.Pacing);
    if (const json* a = r.Array("sites"))
        for (std::size_t i = 0; i < a->size(); ++i) {
            const std::string path = Index("sites", i);
            sc.Sites.push_back(ReadSite((*a)[i], path, "узел " + std::to_string(i + 1)));
            for (std::size_t k = 0; k < i; ++k)
                if (sc.Sites[k].Name == sc.Sites[i].Name)
                    throw TScenarioError{path + ".name",
                                         "узел \"" + sc.Sites[i].Name + "\" уже есть"};
        }
    auto knownSite = [&](const std::string& name) {
        for (const TSiteConfig& s : sc.Sites)
            if (s.Name == name)
                return true;
        return false;
    };
    const json* lines = r.Array("lines");
    if (!lines || lines->empty())
        r.Fail("нужна хотя бы одна линия (\"lines\": [ … ])");
    std::set<unsigned> coms;
    for (std::size_t i = 0; i < lines->size(); ++i) {
        const std::string path = Index("lines", i);
        TObjectReader l((*lines)[i], path);
        TLineConfig line;
        if (l.Has("com")) {
            unsigned com = 0;
            l.Int("com", com, 1, 255);
            if (!coms.insert(com).second)
                l.Fail("COM" + std::to_string(com) + " уже занят другой линией", "com");
            line.Com = com;
        }
        std::string kind = "direct";
        l.String("kind", kind);
        if (kind != "direct" && kind != "modem")
            l.Fail("вид линии \"" + kind + "\": допустимо direct или modem", "kind");
        line.Modem = kind == "modem";
        l.Int("turnaround_ms", line.TurnaroundMs, 0, 10000);
        if (line.Modem) {
            const json* m = l.Get("modem");
            line.ModemConfig = m ? ReadModem(*m, l.Sub("modem")) : TModemConfig{};
            for (std::size_t k = 0; k < line.ModemConfig.PhoneBook.size(); ++k) {
                const TPhoneEntry& e = line.ModemConfig.PhoneBook[k];
                if (!e.Site.empty() && !knownSite(e.Site))
                    throw TScenarioError{l.Sub("modem.phone_book[" + std::to_string(k) + "].site"),
                                         "нет узла \"" + e.Site + "\" в \"sites\""};
            }
        } else {
            if (l.Has("modem"))
                l.Fail("модем бывает только у линии вида modem", "modem");
            const bool named = l.String("site", line.Site);
            if (const json* d = l.Get("devices")) {
                if (named)
                    l.Fail("укажите либо \"site\", либо \"devices\"", "devices");
                json site = json::object();
                site["devices"] = *d;
                TSiteConfig s = ReadSite(site, path, "линия " + std::to_string(i + 1));
                line.Site = s.Name;
                sc.Sites.push_back(std::move(s));
            } else if (!named) {
                l.Fail("прямой линии нужен узел: \"site\" или \"devices\"");
            } else if (!knownSite(line.Site)) {
                l.Fail("нет узла \"" + line.Site + "\" в \"sites\"", "site");
            }
        }
        if (const json* b = l.Get("bootloader")) {
            if (line.Modem)
                l.Fail("загрузчик слушает только прямую линию", "bootloader");
            line.Boot = ReadBoot(*b, l.Sub("bootloader"));
        }
        sc.Lines.push_back(std::move(line));
    }
}

} // namespace

bool MeterKindFromName(const std::string& name, TMeterKind& out) {
    static const std::pair<const char*, TMeterKind> Names[] = {
        {"ВИРС-Ш", TMeterKind::Sh},  {"ВИРС-Д", TMeterKind::D},   {"ВИРС-ДК", TMeterKind::DK},
        {"ВИРС-Д2", TMeterKind::D2}, {"VIRS-SH", TMeterKind::Sh}, {"VIRS-D", TMeterKind::D},
        {"VIRS-DK", TMeterKind::DK}, {"VIRS-D2", TMeterKind::D2},
    };
    for (const auto& [n, k] : Names)
        if (name == n) {
            out = k;
            return true;
        }
    return false;
}

TScenario DefaultScenario() {
    TScenario sc;
    TSiteConfig site;
    site.Name = "прямая линия";
    const TMeterKind kinds[] = {TMeterKind::Sh, TMeterKind::D, TMeterKind::DK, TMeterKind::D2};
    for (int i = 0; i < 4; ++i) {
        TMeterConfig m;
        m.Kind = kinds[i];
        m.Address = static_cast<u8>(i + 1);
        site.Meters.push_back(m);
    }
    sc.Sites.push_back(site);
    TLineConfig line;
    line.Site = site.Name;
    sc.Lines.push_back(line);
    return sc;
}

bool ParseScenario(const std::string& text, const std::string& fileName, TScenario& out,
                   std::string& error) {
    json root;
    try {
        root = json::parse(text);
    } catch (const json::parse_error& e) {
        // Place of the error as line:column, counted from the byte where parsing stopped.
        std::size_t line = 1, column = 1;
        const std::size_t stop = std::min<std::size_t>(e.byte > 0 ? e.byte - 1 : 0, text.size());
        for (std::size_t i = 0; i < stop; ++i) {
            if (text[i] == '\n') {
                ++line;
                column = 1;
            } else if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
                ++column;
            }
        }
        std::string what = e.what();
        const std::size_t colon = what.find(": ", what.find("column"));
        if (colon != std::string::npos)
            what = what.substr(colon + 2);
        error = fileName + ":" + std::to_string(line) + ":" + std::to_string(column) +
                ": ошибка синтаксиса JSON: " + what;
        return false;
    }
    try {
        ReadScenario(root, out);
    } catch (const TScenarioError& e) {
        error = fileName + ": " + (e.Path.empty() ? "" : e.Path + ": ") + e.Message;
        return false;
    }
    return true;
}

bool LoadScenario(const std::filesystem::path& file, TScenario& out, std::string& error) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        error = file.string() + ": не удалось открыть файл сценария";
        return false;
    }
    std::stringstream text;
    text << in.rdbuf();
    return ParseScenario(text.str(), file.string(), out, error);
}

bool ParseFaultOption(const std::string& config, TFault& out, std::string& error) {
    json j = json::object();
    std::stringstream items(config);
    std::string item;
    while (std::getline(items, item, ',')) {
        const std::size_t eq = item.find('=');
        if (eq == std::string::npos) {
            error = "--fault " + config + ": ожидается ключ=значение, а не \"" + item + "\"";
            return false;
        }
        const std::string key = item.substr(0, eq), value = item.substr(eq + 1);
        char* end = nullptr;
        const long long n = std::strtoll(value.c_str(), &end, 0);
        if (!value.empty() && end && *end == 0)
            j[key] = n;
        else
            j[key] = value;
    }
    try {
        out = ReadFault(j, "--fault");
    } catch (const TScenarioError& e) {
        error = e.Path + ": " + e.Message;
        return false;
    }
    return true;
}

} // namespace virs::sim
