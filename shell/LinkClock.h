#pragma once
// The connection clock of the status bar: hours, minutes and seconds since the
// link was opened, advanced once a second and wrapping after 23:59:59.

#include <string>

namespace virs {

struct TLinkClock {
    int Hours = 0;
    int Minutes = 0;
    int Seconds = 0;

    void Reset() { Hours = Minutes = Seconds = 0; }
    void Tick();
    // "hh:mm:ss", each part two digits.
    std::string Text() const;
};

} // namespace virs
