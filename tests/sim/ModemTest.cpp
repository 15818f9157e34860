// The Hayes modem: dialogue, phone book outcomes, escape, and the line-setting check.

#include <gtest/gtest.h>

#include "sim/Modem.h"

namespace virs::sim {
namespace {

const TLineSettings At9600{9600, false, false};

// Drives the modem as the line server does and collects what it says.
struct ModemDriver {
    THayesModem Modem;
    i64 Clock = 1000000;
    TLineSettings Line = At9600;

    explicit ModemDriver(TModemConfig config) : Modem(std::move(config)) {}
    std::string Run(int ms) {
        std::string out;
        for (int i = 0; i <= ms; i += 5) {
            Modem.Tick(Clock);
            const Bytes b = Modem.TakeDue(Clock);
            out.append(b.begin(), b.end());
            Clock += 5;
        }
        return out;
    }
    std::string Say(const std::string& text, int waitMs = 200) {
        Modem.Receive(Bytes(text.begin(), text.end()), Line, Clock);
        return Run(waitMs);
    }
};

TModemConfig ModemConfigOf(bool gsm = false) {
    TModemConfig s;
    s.Gsm = gsm;
    s.PhoneBook = {
        {"8 (495) 111-22-33", TDialOutcome::Connect, "site A", 1500, 0},
        {"222", TDialOutcome::Busy, "", 800, 0},
        {"333", TDialOutcome::NoCarrier, "", 800, 0},
        {"444", TDialOutcome::NoAnswer, "", 800, 0},
        {"555", TDialOutcome::Voice, "", 800, 0},
        {"666", TDialOutcome::Error, "", 800, 0},
        {"+7777", TDialOutcome::SingleByte, "site B", 800, 0x0C},
    };
    s.UnknownNumberDelayMs = 800;
    return s;
}

struct DialCase {
    const char* Name;
    std::string Command;
    std::string Answer; // after the delay
    bool OnLine;
    std::string Site;
};

class ModemDial : public ::testing::TestWithParam<DialCase> {};

TEST_P(ModemDial, AnswersAsThePhoneBookSays) {
    ModemDriver d(ModemConfigOf());
    d.Say("ATE0\r");
    const auto& c = GetParam();
    // Nothing until the call has had its time.
    EXPECT_EQ(d.Say(c.Command + "\r", 500), "");
    EXPECT_EQ(d.Run(1200), c.Answer);
    EXPECT_EQ(d.Modem.OnLine(), c.OnLine);
    EXPECT_EQ(d.Modem.Site(), c.Site);
}

INSTANTIATE_TEST_SUITE_P(
    Sim, ModemDial,
    ::testing::Values(DialCase{"Connect", "ATDT 84951112233", "\r\nCONNECT 9600\r\n", true,
                               "site A"},
                      DialCase{"ConnectPulseFormatted", "ATDP8-495-111-22-33",
                               "\r\nCONNECT 9600\r\n", true, "site A"},
                      DialCase{"VoiceBySemicolon", "ATD84951112233;", "\r\nOK\r\n", false, ""},
                      DialCase{"Busy", "ATDT 222", "\r\nBUSY\r\n", false, ""},
                      DialCase{"NoCarrier", "ATDT 333", "\r\nNO CARRIER\r\n", false, ""},
                      DialCase{"NoAnswer", "ATDT 444", "\r\nNO ANSWER\r\n", false, ""},
                      DialCase{"Voice", "ATDT 555", "\r\nOK\r\n", false, ""},
                      DialCase{"Error", "ATDT 666", "\r\nERROR\r\n", false, ""},
                      DialCase{"SingleByte", "ATD +7777", "\x0C", true, "site B"},
                      DialCase{"Unknown", "ATDT 999", "\r\nNO CARRIER\r\n", false, ""}),
    [](const auto& row) { return std::string(row.param.Name); });

TEST(Modem, AnyCharacterCancelsTheCall) {
    ModemDriver d(ModemConfigOf());
    d.Say("ATE0\r");
    d.Say("ATDT 84951112233\r", 300);
    EXPECT_EQ(d.Say("ATH0\r", 3000), "\r\nNO CARRIER\r\n");
    EXPECT_FALSE(d.Modem.OnLine());
}

TEST(Modem, EchoProbeAndProfile) {
    ModemDriver d(ModemConfigOf());
    // Echo is on until E0 has been taken: the probe comes back with its answer.
    EXPECT_EQ(d.Say("AT&FE0\r"), "AT&FE0\r\r\nOK\r\n");
    EXPECT_EQ(d.Say("AT\r"), "\r\nOK\r\n");
    EXPECT_EQ(d.Say("ATS0=1\r"), "\r\nOK\r\n");
    EXPECT_EQ(d.Say("ATS0?\r"), "\r\n001\r\n\r\nOK\r\n");
    EXPECT_EQ(d.Say("ATV0\r"), "0\r");
    EXPECT_EQ(d.Say("ATQ\r"), "0\r"); // Q alone: results on
    EXPECT_EQ(d.Say("ATX\r"), "0\r");
    EXPECT_EQ(d.Say("AT?\r"), "4\r");
    EXPECT_EQ(d.Say("ATZ\r"), "\r\nOK\r\n"); // stored profile: verbose, echo on
    EXPECT_EQ(d.Say("AT\r"), "AT\r\r\nOK\r\n");
    // The remote set-up presets.
    for (const char* line :
         {"AT&F", "AT&S1", "ATS0=1", "AT&D0", "AT+IPR=9600", "ATE0", "AT&W", "AT&FE0V1;&K0"}) {
        const std::string answer = d.Say(std::string(line) + "\r");
        EXPECT_NE(answer.find("OK"), std::string::npos) << line << ": " << answer;
    }
    EXPECT_EQ(d.Modem.Commands().back(), "AT&FE0V1;&K0");
}

TEST(Modem, GsmQueriesAndDialUpRefusal) {
    TModemConfig config = ModemConfigOf(true);
    config.Registration = 5;
    ModemDriver gsm(config);
    gsm.Say("ATE0\r");
    EXPECT_EQ(gsm.Say("AT+CGMI\r"), "\r\nSIMCOM_Ltd\r\n\r\nOK\r\n");
    EXPECT_EQ(gsm.Say("AT+CGMM\r"), "\r\nSIMCOM_SIM900\r\n\r\nOK\r\n");
    EXPECT_EQ(gsm.Say("AT+CPIN?\r"), "\r\n+CPIN: READY\r\n\r\nOK\r\n");
    EXPECT_EQ(gsm.Say("AT+CREG?\r"), "\r\n+CREG: 0,5\r\n\r\nOK\r\n");
    EXPECT_EQ(gsm.Say("AT+COPS?\r"), "\r\n+COPS: 0,0,\"MTS RUS\"\r\n\r\nOK\r\n");
    config.PinState = "NO SIM";
    ModemDriver noSim(config);
    noSim.Say("ATE0\r");
    EXPECT_NE(noSim.Say("AT+CPIN?\r").find("ERROR"), std::string::npos);
    ModemDriver dialUp(ModemConfigOf(false));
    dialUp.Say("ATE0\r");
    EXPECT_EQ(dialUp.Say("AT+CGMI\r"), "\r\nERROR\r\n");
}

TEST(Modem, EscapeNeedsGuardTimesThenHangUp) {
    ModemDriver d(ModemConfigOf());
    d.Say("ATE0\r");
    d.Say("ATDT 84951112233\r", 2000);
    ASSERT_TRUE(d.Modem.OnLine());
    // "+++" right after data is data.
    d.Modem.Receive({1, 3, 0, 0}, d.Line, d.Clock);
    d.Modem.Receive({'+', '+', '+'}, d.Line, d.Clock + 10);
    EXPECT_EQ(d.Run(1500), "");
    EXPECT_EQ(d.Modem.TakeData(), (Bytes{1, 3, 0, 0, '+', '+', '+'}));
    EXPECT_TRUE(d.Modem.OnLine());
    // After a second of silence, "+++" and another second: command mode, call still up.
    d.Run(1100);
    EXPECT_EQ(d.Say("+++", 1200), "\r\nOK\r\n");
    EXPECT_FALSE(d.Modem.OnLine());
    EXPECT_TRUE(d.Modem.CallUp());
    EXPECT_TRUE(d.Modem.TakeData().empty());
    EXPECT_EQ(d.Say("ATH0\r"), "\r\nOK\r\n");
    EXPECT_FALSE(d.Modem.CallUp());
}

// The program's modem search: stop bits outermost, then parity, then speed.
struct SearchCase {
    const char* Name;
    u32 Baud;
    TParity Parity;
    bool TwoStop;
    int FoundR, FoundP, FoundS; // -1: never found
};

class ModemLineSettings : public ::testing::TestWithParam<SearchCase> {};

TEST_P(ModemLineSettings, AnswersOnlyAtItsOwnSettings) {
    const auto& c = GetParam();
    TModemConfig config = ModemConfigOf();
    config.Baud = c.Baud;
    config.Parity = c.Parity;
    config.TwoStopBits = c.TwoStop;
    ModemDriver d(config);
    const u32 speeds[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600};
    int found[3] = {-1, -1, -1};
    for (int r = 0; r < 2 && found[0] < 0; ++r)
        for (int p = 0; p < 3 && found[0] < 0; ++p)
            for (int s = 0; s < 7 && found[0] < 0; ++s) {
                // What the pseudo-terminal shows: even parity looks like none.
                d.Line = TLineSettings{speeds[s], p == 1, r == 1};
                if (d.Say("AT&FE0\r").find("OK") != std::string::npos)
                    found[0] = r, found[1] = p, found[2] = s;
            }
    EXPECT_EQ(found[0], c.FoundR);
    EXPECT_EQ(found[1], c.FoundP);
    EXPECT_EQ(found[2], c.FoundS);
}

INSTANTIATE_TEST_SUITE_P(
    Sim, ModemLineSettings,
    ::testing::Values(SearchCase{"At9600None1", 9600, TParity::None, false, 0, 0, 3},
                      SearchCase{"At4800None1", 4800, TParity::None, false, 0, 0, 2},
                      SearchCase{"At1200Odd2", 1200, TParity::Odd, true, 1, 1, 0},
                      SearchCase{"At19200Odd1", 19200, TParity::Odd, false, 0, 1, 4},
                      // Even parity cannot be told from none on a pty.
                      SearchCase{"At38400Even1", 38400, TParity::Even, false, 0, 0, 5},
                      SearchCase{"At115200", 115200, TParity::None, false, -1, -1, -1}),
    [](const auto& row) { return std::string(row.param.Name); });

TEST(Modem, FormatAndRateCommandsMoveTheModem) {
    ModemDriver d(ModemConfigOf());
    d.Say("ATE0\r");
    EXPECT_EQ(d.Say("AT+ICF=2,0\r"), "\r\nOK\r\n"); // odd parity from now on
    EXPECT_EQ(d.Say("AT\r"), "");
    d.Line.OddParity = true;
    EXPECT_EQ(d.Say("AT+IPR=19200\r"), "\r\nOK\r\n");
    EXPECT_EQ(d.Say("AT\r"), "");
    d.Line.Baud = 19200;
    EXPECT_EQ(d.Say("AT+ICF?\r"), "\r\n+ICF: 2,0\r\n\r\nOK\r\n");
    EXPECT_EQ(d.Say("AT+ICF=1,0\r"), "\r\nOK\r\n");
    EXPECT_TRUE(d.Modem.TwoStopBits());
    EXPECT_EQ(d.Modem.Parity(), TParity::None);
    EXPECT_EQ(d.Say("AT+IPR=12345\r"), ""); // not heard: the port still has one stop bit
    d.Line = TLineSettings{19200, false, true};
    EXPECT_EQ(d.Say("AT+IPR=12345\r"), "\r\nERROR\r\n");
}

} // namespace
} // namespace virs::sim
