#pragma once
// Option parsing shared by the sub-commands that take "--name value" pairs.

#include <cstdint>
#include <functional>
#include <string>

#include "cli/Commands.h"
#include "model/DateTime.h"

namespace virs::cli {

// A whole decimal number (no sign, at most 5 digits) within [low, high].
bool ParseNumber(const std::string& text, int low, int high, int& value);

// Walks the "--name value" pairs of `args`; `accept` takes one pair and returns
// false for an unknown name or a bad value. On the first failure the reason and
// `usage` go to standard error and false is returned.
bool ParseOptionPairs(
    const Args& args, const char* usage,
    const std::function<bool(const std::string& name, const std::string& value)>& accept);

// A status text on one line: a carriage return (a line break in a message
// box) becomes " / ".
std::string OneLine(const std::string& text);
// A date written YYYY-MM-DD, as a day number; false when it is not one.
bool ParseDay(const std::string& text, std::int64_t& day);
// A moment written YYYY-MM-DDTHH:MM:SS; false when it is not one.
bool ParseMoment(const std::string& text, TDateTime& t);

// Ctrl+C (and, when asked, SIGTERM) as the stop button of a long command: while
// an object of this class lives, the signals only set a flag the command polls.
class TStopSignals {
public:
    explicit TStopSignals(bool terminateToo = false);
    ~TStopSignals();
    TStopSignals(const TStopSignals&) = delete;
    TStopSignals& operator=(const TStopSignals&) = delete;
    // True once a signal has come (for the rest of the process).
    static bool Pressed();

private:
    bool TerminateToo;
};

} // namespace virs::cli
