#pragma once
// Option parsing shared by the sub-commands that take "--name value" pairs.

#include <functional>
#include <string>

#include "cli/Commands.h"

namespace virs::cli {

// A whole decimal number (no sign, at most 5 digits) within [low, high].
bool ParseNumber(const std::string& text, int low, int high, int& value);

// Walks the "--name value" pairs of `args`; `accept` takes one pair and returns
// false for an unknown name or a bad value. On the first failure the reason and
// `usage` go to standard error and false is returned.
bool ParseOptionPairs(
    const Args& args, const char* usage,
    const std::function<bool(const std::string& name, const std::string& value)>& accept);

} // namespace virs::cli
