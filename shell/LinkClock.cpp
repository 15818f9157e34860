#include "shell/LinkClock.h"

#include <cstdio>

namespace virs {

void TLinkClock::Tick() {
    if (++Seconds < 60)
        return;
    Seconds = 0;
    if (++Minutes < 60)
        return;
    Minutes = 0;
    if (++Hours < 24)
        return;
    Hours = 0;
}

std::string TLinkClock::Text() const {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", Hours % 100, Minutes % 100, Seconds % 100);
    return text;
}

} // namespace virs
