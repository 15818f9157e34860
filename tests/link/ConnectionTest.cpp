// The connection dialogue against a scripted modem: what is sent, which texts
// and message boxes appear in which order, which time-outs are set, and what
// is left open or closed.

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <deque>
#include <functional>
#include <optional>

#include "link/ModemDialogue.h"
#include "link/NodeConnection.h"
#include "tests/support/ScriptedModem.h"
#ifndef _WIN32
#include "tests/link/PtyPair.h"
#endif

namespace virs {
namespace {

using test::TScriptedModem;
using test::TScriptedPort;

struct TEvent {
    char Kind; // 'S' status, 'M' message
    TMessageIcon Icon;
    std::string Text;
};

class TRecordingUi final : public TConnectionUi {
public:
    void SetStatus(const std::string& text) override { Events.push_back({'S', {}, text}); }
    void ShowMessage(TMessageIcon icon, const std::string& text) override {
        Events.push_back({'M', icon, text});
    }
    bool ButtonDown() override { return ++Checks <= ReleaseAfter; }
    std::vector<std::string> Messages() const {
        std::vector<std::string> m;
        for (const TEvent& e : Events)
            if (e.Kind == 'M')
                m.push_back(e.Text);
        return m;
    }
    std::string LastStatus() const {
        for (auto it = Events.rbegin(); it != Events.rend(); ++it)
            if (it->Kind == 'S')
                return it->Text;
        return "";
    }
    std::vector<TEvent> Events;
    int Checks = 0;
    int ReleaseAfter = 1'000'000;
};

const std::string OkReply = "\r\nOK\r\n";

// A well-behaved modem: OK to everything, the given answer to dialling.
std::function<std::vector<std::string>(const std::string&)>
Modem(std::vector<std::string> dial, std::string pin = "READY", std::string creg = "0,1") {
    return [=](const std::string& c) -> std::vector<std::string> {
        if (c.rfind("ATD", 0) == 0)
            return dial;
        if (c == "AT+CGMI\r")
            return {"\r\nSIMCOM_Ltd\r\n\r\nOK\r\n"};
        if (c == "AT+CGMM\r")
            return {"\r\nSIMCOM_SIM900\r\n\r\nOK\r\n"};
        if (c == "AT+CPIN?\r")
            return {"\r\n+CPIN: " + pin + "\r\n\r\nOK\r\n"};
        if (c == "AT+CREG?\r")
            return {"\r\n+CREG: " + creg + "\r\n\r\nOK\r\n"};
        if (c == "AT+COPS?\r")
            return {"\r\n+COPS: 0,0,\"MTS RUS\"\r\n\r\nOK\r\n"};
        return {OkReply};
    };
}

TNode MakeNode(TLinkType type) {
    TNode n = NewNodeRecord();
    n.LinkType = type;
    n.ComPort = 5;
    n.BaudIndex = 3;
    n.ParityIndex = 0;
    n.StopBitsIndex = 0;
    n.Phone.Set("1234567");
    n.ModemInit.Set("");
    n.ReplyTimeoutMs = 1500;
    n.Retries = 3;
    return n;
}

// Runs a connect against a modem set up by `setUp`; `modem` points to it
// afterwards (it lives until the end of the test).
TConnectOutcome Connect(const TNode& node, TScriptedModem*& modem, TRecordingUi& ui,
                        TLineSettings& line, std::function<void(TScriptedModem&)> setUp) {
    static std::vector<std::unique_ptr<TScriptedModem>> modems;
    modems.push_back(std::make_unique<TScriptedModem>());
    modem = modems.back().get();
    setUp(*modem);
    TScriptedModem* target = modem;
    TPortOpener opener = [target](unsigned) {
        return TPortOpenResult{std::make_unique<TScriptedPort>(*target), ""};
    };
    return ConnectNode(node, line, ui, opener);
}

TEST(ConnectionTest, PortThatCannotBeOpened) {
    for (const auto& [port, text] :
         {std::pair<u16, const char*>{0, "Не выбран порт для подключения"},
          {12, "Не удалось открыть порт COM12"}}) {
        TNode node = MakeNode(LinkDirect);
        node.ComPort = port;
        TRecordingUi ui;
        TLineSettings line;
        const TConnectOutcome o = ConnectNode(node, line, ui, [](unsigned) {
            return TPortOpenResult{nullptr, "no such device"};
        });
        EXPECT_FALSE(o.Connected);
        EXPECT_EQ(o.Status, text);
        EXPECT_TRUE(ui.Messages().empty()); // panel 2 only
    }
}

// A stored 0 would be a read without a total limit: a silent meter would hold
// the job for ever. It is read with the new-node default.
TEST(ConnectionTest, StoredZeroReplyTimeoutUsesTheDefault) {
    for (TLinkType type : {LinkDirect, LinkDialUp}) {
        TNode node = MakeNode(type);
        node.ReplyTimeoutMs = 0;
        TRecordingUi ui;
        TLineSettings line;
        TScriptedModem* port = nullptr;
        TConnectOutcome o = Connect(node, port, ui, line, [](TScriptedModem& m) {
            m.Answer = Modem({"\r\nCONNECT 9600\r\n"});
        });
        ASSERT_TRUE(o.Connected) << type;
        ASSERT_FALSE(port->TimeoutsSet.empty());
        EXPECT_EQ(port->TimeoutsSet.back().ReadInterval, 50u);
        EXPECT_EQ(port->TimeoutsSet.back().ReadConstant, 3000u) << type;
    }
}

TEST(ConnectionTest, DirectLinkAppliesTheNodesLineAndModbusTimeouts) {
    TNode node = MakeNode(LinkDirect);
    node.BaudIndex = 7;
    node.ParityIndex = 2;
    node.StopBitsIndex = 1;
    TRecordingUi ui;
    TLineSettings line;
    TScriptedModem* port = nullptr;
    TConnectOutcome o = Connect(node, port, ui, line, [](TScriptedModem&) {});
    ASSERT_TRUE(o.Connected);
    EXPECT_EQ(o.Status, "Соединение с узлом установлено");
    EXPECT_EQ(o.NodeImage, 5);
    EXPECT_EQ(o.MaxRegistersPerRequest, 32);
    EXPECT_TRUE(o.ConnectedMessage.empty());
    EXPECT_EQ(port->Line.BaudRate, 115200u);
    EXPECT_EQ(port->Line.Parity, 2);
    EXPECT_EQ(port->Line.StopBits, 2);
    EXPECT_EQ(port->Line.Flags, 0u);
    EXPECT_EQ(line.BaudRate, 115200u); // the record is kept for the next connection
    ASSERT_FALSE(port->TimeoutsSet.empty());
    EXPECT_EQ(port->TimeoutsSet.back().ReadInterval, 50u);
    EXPECT_EQ(port->TimeoutsSet.back().ReadConstant, 1500u);
    EXPECT_TRUE(port->Written().empty());
}

TEST(ConnectionTest, ModemAnsweringTheFirstProbeIsNotSearchedFor) {
    TRecordingUi ui;
    TLineSettings line{19200, 8, 0, 0, 0}; // the settings of the previous connection
    TScriptedModem* port = nullptr;
    TConnectOutcome o = Connect(MakeNode(LinkDialUp), port, ui, line, [](TScriptedModem& m) {
        m.Answer = Modem({"", "", "\r\nCONNECT 9600\r\n"});
        m.ModemBaud = 19200;
        m.Line.BaudRate = 1200; // the port's own setting, replaced by the record
    });
    ASSERT_TRUE(o.Connected);
    const std::vector<std::string> expected = {"AT&FE0\r", "AT&FE0V1\r", "AT+ICF=3,0\r",
                                               "AT+IPR=9600\r", "ATDT 1234567\r"};
    EXPECT_EQ(port->Written(), expected);
    EXPECT_EQ(o.NodeImage, 1);
    EXPECT_EQ(o.MaxRegistersPerRequest, 8);
    EXPECT_EQ(o.ConnectedMessage, "Соединение с узлом установлено\rCOM5");
    EXPECT_EQ(port->Sleeps, std::vector<std::uint32_t>{100});
    EXPECT_EQ(port->Line.BaudRate, 9600u); // the node's speed after AT+IPR
    EXPECT_EQ(port->TimeoutsSet.back().ReadInterval, 50u);
    const std::vector<std::string> statuses = {"Поиск модема...", "Инициализация модема...",
                                               "Набор номера...Вызов..."};
    std::vector<std::string> seen;
    for (const TEvent& e : ui.Events)
        seen.push_back(e.Text);
    EXPECT_EQ(seen, statuses);
}

TEST(ConnectionTest, ModemFoundBySearchShowsTheProgressToTheEndOfTheTable) {
    TRecordingUi ui;
    TLineSettings line;
    TScriptedModem* port = nullptr;
    TConnectOutcome o = Connect(MakeNode(LinkDialUp), port, ui, line, [](TScriptedModem& m) {
        m.Answer = Modem({"\r\nCONNECT\r\n"});
        m.ModemBaud = 4800; // speed index 2, no parity, one stop bit
    });
    ASSERT_TRUE(o.Connected);
    std::vector<std::string> progress;
    for (const TEvent& e : ui.Events)
        if (e.Text.rfind("Поиск модема...", 0) == 0)
            progress.push_back(e.Text);
    const std::vector<std::string> expected = {"Поиск модема...", "Поиск модема...0%",
                                               "Поиск модема...2%", "Поиск модема...5%",
                                               "Поиск модема...98%"};
    EXPECT_EQ(progress, expected);
    // The try that found it ran with 20 div 3 ms between bytes, and so did the
    // initialisation after it.
    ASSERT_GE(port->TimeoutsSet.size(), 4u);
    EXPECT_EQ(port->TimeoutsSet[3].ReadInterval, 6u);
    EXPECT_EQ(port->TimeoutsSet[3].ReadConstant, 500u);
    EXPECT_EQ(port->TimeoutsSet.size(), 5u); // ... then only the Modbus set
}

TEST(ConnectionTest, SilentModemAndReleaseDuringTheSearch) {
    {
        TRecordingUi ui;
        TLineSettings line;
        TScriptedModem* port = nullptr;
        TConnectOutcome o = Connect(MakeNode(LinkGsm), port, ui, line, [](TScriptedModem&) {});
        EXPECT_FALSE(o.Connected);
        EXPECT_EQ(o.Status, "Модем не отвечает");
        EXPECT_EQ(port->Written().size(), 1u + 42u);
        EXPECT_EQ(ui.LastStatus(), "Поиск модема...98%");
        EXPECT_TRUE(port->Closed);
        EXPECT_TRUE(ui.Messages().empty());
    }
    {
        TRecordingUi ui;
        ui.ReleaseAfter = 3;
        TLineSettings line;
        TScriptedModem* port = nullptr;
        TConnectOutcome o = Connect(MakeNode(LinkDialUp), port, ui, line, [](TScriptedModem&) {});
        EXPECT_FALSE(o.Connected);
        EXPECT_EQ(o.Status, "Вызов прерван");
        EXPECT_LT(port->Written().size(), 5u);
        EXPECT_TRUE(port->Closed);
    }
}

struct TFormatCase {
    u8 Parity, Stop;
    const char* Command;
};

TEST(ConnectionTest, CharacterFormatCommands) {
    for (const TFormatCase& c : {TFormatCase{0, 0, "AT+ICF=3,0"}, TFormatCase{1, 0, "AT+ICF=2,0"},
                                 TFormatCase{2, 0, "AT+ICF=2,1"}, TFormatCase{2, 1, "AT+ICF=1,0"},
                                 TFormatCase{0, 1, "AT+ICF=1,0"}})
        EXPECT_EQ(CharacterFormatCommand(c.Parity, c.Stop), c.Command);
}

TEST(ConnectionTest, TakeModemReply) {
    const std::string raw = "\r\nCONNECT 9600\r\n";
    TModemReply r = TakeModemReply(reinterpret_cast<const std::uint8_t*>(raw.data()), raw.size());
    EXPECT_EQ(r.Text, "CONNECT 9600");
    EXPECT_FALSE(r.Ok);
    const std::string ok = "AT&FE0\r\r\nOK\r\n";
    r = TakeModemReply(reinterpret_cast<const std::uint8_t*>(ok.data()), ok.size());
    EXPECT_EQ(r.Text, "AT&FE0");
    EXPECT_TRUE(r.Ok);
}

struct TDialCase {
    const char* Name;
    TLinkType Type;
    std::vector<std::string> Dial; // reads after the dial command
    bool HangUpOk;
    bool Connected;
    std::vector<std::string> Messages;
};

class DialAnswerTest : public ::testing::TestWithParam<TDialCase> {};

TEST_P(DialAnswerTest, Evaluation) {
    const TDialCase& c = GetParam();
    TRecordingUi ui;
    TLineSettings line;
    TScriptedModem* port = nullptr;
    auto modem = Modem(c.Dial);
    const bool hangUpOk = c.HangUpOk;
    TConnectOutcome o = Connect(MakeNode(c.Type), port, ui, line, [&](TScriptedModem& m) {
        m.Answer = [modem, hangUpOk](const std::string& command) -> std::vector<std::string> {
            if (command == "ATH0\r")
                return {hangUpOk ? OkReply : "\r\nERROR\r\n"};
            return modem(command);
        };
    });
    EXPECT_EQ(o.Connected, c.Connected);
    std::vector<std::string> messages = ui.Messages();
    if (o.Connected)
        messages.push_back(o.ConnectedMessage);
    EXPECT_EQ(messages, c.Messages);
    EXPECT_EQ(o.Status,
              c.Connected ? "Соединение с узлом установлено" : "Ошибка соединения с узлом");
    EXPECT_EQ(port->Closed, !c.Connected);
}

const std::string Gsm = "модем: SIMCOM_Ltd SIMCOM_SIM900\rоператор: \"MTS RUS\"";

INSTANTIATE_TEST_SUITE_P(
    Answers, DialAnswerTest,
    ::testing::Values(
        TDialCase{"Connect",
                  LinkDialUp,
                  {"", "\r\nCONNECT 9600\r\n"},
                  true,
                  true,
                  {"Соединение с узлом установлено\rCOM5"}},
        TDialCase{"VoiceHungUp",
                  LinkDialUp,
                  {OkReply},
                  true,
                  false,
                  {"Соединение в голосовом режиме!", "Соединение прервано\rCOM5"}},
        TDialCase{"VoiceNotHungUp",
                  LinkDialUp,
                  {OkReply},
                  false,
                  false,
                  {"Соединение в голосовом режиме!", "Не удалось разорвать соединение!\rCOM5"}},
        TDialCase{"NoCarrier",
                  LinkDialUp,
                  {"\r\nNO CARRIER\r\n"},
                  true,
                  false,
                  {"Нет соединения.\rCOM5"}},
        TDialCase{"Busy", LinkDialUp, {"\r\nBUSY\r\n"}, true, false, {"Абонент занят.\rCOM5"}},
        TDialCase{"NoAnswer",
                  LinkDialUp,
                  {"\r\nNO ANSWER\r\n"},
                  true,
                  false,
                  {"Нет ответа от абонента.\rCOM5"}},
        TDialCase{"Other", LinkDialUp, {"\r\nERROR\r\n"}, true, false, {"COM5\rERROR"}},
        TDialCase{"SingleByteDialUp", LinkDialUp, {"\x0c"}, true, false, {"COM5\r"}},
        TDialCase{"SingleByteGsm",
                  LinkGsm,
                  {"x"},
                  true,
                  true,
                  {"Соединение с узлом установлено\r" + Gsm}},
        TDialCase{"FormFeedFirstGsm",
                  LinkGsm,
                  {"\x0c\r\nCONNECT\r\n"},
                  true,
                  true,
                  {"Соединение с узлом установлено\r" + Gsm}},
        TDialCase{"GsmBusy", LinkGsm, {"\r\nBUSY\r\n"}, true, false, {"Абонент занят.\r" + Gsm}},
        TDialCase{"GsmVoice",
                  LinkGsm,
                  {OkReply},
                  true,
                  false,
                  {"Соединение в голосовом режиме!", "Соединение прервано\r" + Gsm}}),
    [](const ::testing::TestParamInfo<TDialCase>& p) { return std::string(p.param.Name); });

struct TGsmCase {
    const char* Name;
    std::string Pin, Creg;
    std::string Message; // the message box; empty: connected
};

class GsmQueryTest : public ::testing::TestWithParam<TGsmCase> {};

TEST_P(GsmQueryTest, SimAndRegistration) {
    const TGsmCase& c = GetParam();
    TRecordingUi ui;
    TLineSettings line;
    TScriptedModem* port = nullptr;
    TConnectOutcome o = Connect(MakeNode(LinkGsm), port, ui, line, [&](TScriptedModem& m) {
        m.Answer = Modem({"\r\nCONNECT\r\n"}, c.Pin, c.Creg);
    });
    if (c.Message.empty()) {
        EXPECT_TRUE(o.Connected);
        EXPECT_TRUE(ui.Messages().empty());
    } else {
        EXPECT_FALSE(o.Connected);
        EXPECT_EQ(ui.Messages(), std::vector<std::string>{c.Message});
        EXPECT_EQ(o.Status, "Ошибка соединения с узлом");
    }
}

const std::string Id = "модем: SIMCOM_Ltd SIMCOM_SIM900";
const std::string Later = "\rПопробуйте повторить позже.\r";

INSTANTIATE_TEST_SUITE_P(
    States, GsmQueryTest,
    ::testing::Values(
        TGsmCase{"Home", "READY", "0,1", ""}, TGsmCase{"Roaming", "READY", "0,5", ""},
        TGsmCase{"NoSim", "ERROR", "0,1", "SIM-карта отсутствует.\r" + Id},
        TGsmCase{"Pin", "SIM PIN", "0,1",
                 "Требуется ввести PIN-код или SIM-карта блокирована.\r" + Id},
        TGsmCase{"OtherPin", "PH-NET PIN", "0,1", Id + "\r+CPIN: PH-NET PIN"},
        TGsmCase{"NotSearching", "READY", "0,0",
                 "Не зарегистрировано, мобильное оборудование не проводит поиск оператора." +
                     Later + Id},
        TGsmCase{"Searching", "READY", "0,2",
                 "Не зарегистрировано, мобильное оборудование проводит поиск оператора для "
                 "регистрации." +
                     Later + Id},
        TGsmCase{"Denied", "READY", "0,3", "Регистрация отклонена." + Later + Id},
        TGsmCase{"Unknown", "READY", "0,4", "Неизвестно." + Later + Id},
        TGsmCase{"Garbage", "READY", "0,7", Id + "\r+CREG: 0,7"}),
    [](const ::testing::TestParamInfo<TGsmCase>& p) { return std::string(p.param.Name); });

TEST(ConnectionTest, RoamingIsNamedInTheConnectedMessage) {
    TRecordingUi ui;
    TLineSettings line;
    TScriptedModem* port = nullptr;
    TConnectOutcome o = Connect(MakeNode(LinkGsm), port, ui, line, [](TScriptedModem& m) {
        m.Answer = Modem({"\r\nCONNECT\r\n"}, "READY", "0,5");
    });
    ASSERT_TRUE(o.Connected);
    EXPECT_EQ(o.ConnectedMessage, "Соединение с узлом установлено\r" + Gsm + ", роуминг");
}

TEST(ConnectionTest, ReleaseDuringTheCallHangsUp) {
    TRecordingUi ui;
    TLineSettings line;
    TScriptedModem* port = nullptr;
    TNode node = MakeNode(LinkDialUp);
    node.Phone.Set("12345678901234567890"); // "ATDT " + 20 digits = 25 characters
    TConnectOutcome o = Connect(node, port, ui, line, [&](TScriptedModem& m) {
        m.Answer = Modem({"", "", "", "", ""});
        ui.ReleaseAfter = 3; // during the call: the search needs no checks
    });
    EXPECT_FALSE(o.Connected);
    EXPECT_EQ(o.Status, "Вызов прерван");
    EXPECT_TRUE(ui.Messages().empty());
    ASSERT_GE(port->Written().size(), 2u);
    EXPECT_EQ(port->Written()[port->Written().size() - 2], "ATDT 12345678901234567890\r");
    EXPECT_EQ(port->Written().back(), "ATH0\r");
    EXPECT_TRUE(port->Closed);
}

// A modem whose adapter is pulled out as it dials: from then on every read is
// one of a real port whose far end has gone, which fails at once.
class TPulledAfterDial final : public TSerialPort {
public:
    TPulledAfterDial(TScriptedModem& modem, std::unique_ptr<TSerialPort> dead, int& deadReads)
        : Modem(modem), Dead(std::move(dead)), DeadReads(deadReads) {}
    bool SetQueues(std::uint32_t i, std::uint32_t o) override { return Modem.SetQueues(i, o); }
    bool GetLineSettings(TLineSettings& s) override { return Modem.GetLineSettings(s); }
    bool SetLineSettings(const TLineSettings& s) override { return Modem.SetLineSettings(s); }
    bool SetTimeouts(const TPortTimeouts& t) override { return Modem.SetTimeouts(t); }
    bool Purge(std::uint32_t f) override { return Modem.Purge(f); }
    TPortIo Write(const std::uint8_t* d, std::size_t n) override {
        if (std::string(reinterpret_cast<const char*>(d), n).rfind("ATD", 0) == 0)
            Pulled = true;
        return Modem.Write(d, n);
    }
    TPortIo Read(std::uint8_t* b, std::size_t n) override {
        if (!Pulled)
            return Modem.Read(b, n);
        ++DeadReads;
        return Dead->Read(b, n);
    }
    bool Close() override { return Modem.Close(); }
    void Sleep(std::uint32_t ms) override { Dead->Sleep(ms); } // really sleeps
    void CancelIo() override {}

private:
    TScriptedPort Modem;
    std::unique_ptr<TSerialPort> Dead;
    int& DeadReads;
    bool Pulled = false;
};

// Holds the button for a time rather than for a number of looks.
class THeldButtonUi final : public TConnectionUi {
public:
    void SetStatus(const std::string&) override {}
    void ShowMessage(TMessageIcon, const std::string&) override {}
    bool ButtonDown() override {
        if (!Since)
            Since = std::chrono::steady_clock::now();
        return std::chrono::steady_clock::now() - *Since < std::chrono::milliseconds(400);
    }
    std::optional<std::chrono::steady_clock::time_point> Since;
};

// A pseudo-terminal whose far end has gone (POSIX only).
#ifndef _WIN32
TEST(ConnectionTest, FailingPortDuringTheCallWaitDoesNotSpin) {
    auto pty = std::make_unique<test::TPty>();
    TPortOpenResult dead = OpenSerialPort(pty->SlavePath);
    ASSERT_TRUE(dead.Port) << dead.Error;
    ASSERT_TRUE(dead.Port->SetTimeouts({50, 0, 1500}));
    pty.reset(); // the far end has gone: every read fails at once
    TScriptedModem modem;
    modem.Answer = Modem({});
    int deadReads = 0;
    TPortOpener opener = [&](unsigned) {
        return TPortOpenResult{
            std::make_unique<TPulledAfterDial>(modem, std::move(dead.Port), deadReads), ""};
    };
    THeldButtonUi ui;
    TLineSettings line;
    const auto start = std::chrono::steady_clock::now();
    TConnectOutcome o = ConnectNode(MakeNode(LinkDialUp), line, ui, opener);
    EXPECT_FALSE(o.Connected);
    EXPECT_EQ(o.Status, "Вызов прерван");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    ASSERT_TRUE(modem.Closed);
    // 400 ms of waiting with a pause between failed reads: a handful, not thousands
    // (and the hang-up's read after the release).
    EXPECT_GE(deadReads, 2);
    EXPECT_LE(deadReads, 10);
}

#endif

TEST(ConnectionTest, DialCommandsAreCut) {
    for (const TLinkType type : {LinkDialUp, LinkGsm}) {
        TRecordingUi ui;
        TLineSettings line;
        TScriptedModem* port = nullptr;
        TNode node = MakeNode(type);
        node.Phone.Set("+7 (495) 123-45-67 доб. 9");
        Connect(node, port, ui, line,
                [](TScriptedModem& m) { m.Answer = Modem({"\r\nCONNECT\r\n"}); });
        std::string dial;
        for (const std::string& w : port->Written())
            if (w.rfind("ATD", 0) == 0)
                dial = w;
        EXPECT_EQ(dial.size(), (type == LinkDialUp ? 25u : 24u) + 1u) << dial;
        EXPECT_EQ(dial.back(), '\r');
    }
}

struct TCloseCase {
    const char* Name;
    TLinkType Type;
    std::string Escape, HangUp;
    bool CloseOk;
    bool Closed;
    std::vector<std::string> Messages;
};

class DisconnectTest : public ::testing::TestWithParam<TCloseCase> {};

TEST_P(DisconnectTest, EscapeHangUpAndClose) {
    const TCloseCase& c = GetParam();
    TScriptedModem port;
    TScriptedPort io(port);
    port.CloseOk = c.CloseOk;
    port.Answer = [&](const std::string& command) -> std::vector<std::string> {
        return {command == "+++" ? c.Escape : c.HangUp};
    };
    TRecordingUi ui;
    const TDisconnectOutcome o = DisconnectNode(MakeNode(c.Type), io, ui);
    EXPECT_EQ(o.Closed, c.Closed);
    EXPECT_EQ(o.Status, c.Closed ? "Узел закрыт" : "Не удалось закрыть узел");
    EXPECT_EQ(ui.Messages(), c.Messages);
    EXPECT_EQ(port.Closed, c.Closed);
    if (c.Type != LinkDirect) {
        ASSERT_FALSE(port.TimeoutsSet.empty());
        EXPECT_EQ(port.TimeoutsSet[0].ReadInterval, 200u);
        EXPECT_EQ(port.TimeoutsSet[0].ReadConstant, 5000u);
        EXPECT_EQ(port.Sleeps, std::vector<std::uint32_t>{1000});
        EXPECT_EQ(port.Written().front(), "+++");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, DisconnectTest,
    ::testing::Values(
        TCloseCase{"Direct", LinkDirect, "", "", true, true, {}},
        TCloseCase{"DirectCloseFails", LinkDirect, "", "", false, false, {}},
        TCloseCase{"Modem", LinkDialUp, OkReply, OkReply, true, true, {"Соединение прервано"}},
        TCloseCase{
            "NoEscape", LinkGsm, "", OkReply, true, false, {"Не удалось разорвать соединение!!!"}},
        TCloseCase{"NoHangUp",
                   LinkDialUp,
                   OkReply,
                   "\r\nERROR\r\n",
                   true,
                   false,
                   {"Не удалось разорвать соединение!"}},
        TCloseCase{"CloseFails", LinkGsm, OkReply, OkReply, false, false, {"Соединение прервано"}}),
    [](const ::testing::TestParamInfo<TCloseCase>& p) { return std::string(p.param.Name); });

TEST(ConnectionTest, NodeIdleImages) {
    EXPECT_EQ(NodeIdleImage(LinkDirect), 4);
    EXPECT_EQ(NodeIdleImage(LinkDialUp), 2);
    EXPECT_EQ(NodeIdleImage(LinkGsm), 0);
}

} // namespace
} // namespace virs
