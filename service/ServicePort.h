#pragma once
// What the three service utilities share: how a utility opens its port, how
// it shows its progress and messages, and the port-name rule of their combo
// boxes. The utilities run on the caller's thread and talk to the port
// directly, without the exchange thread.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "link/SerialPort.h"

namespace virs {

// Opens the port named by a utility's port choice ("COM5 " or a device path).
using TServicePortOpener = std::function<TPortOpenResult(const std::string& portName)>;

// The port name of a combo-box item: the text up to its first blank (the blank
// itself dropped); the whole text when it has none.
std::string PortNameOfItem(const std::string& itemText);

// "COMn" through the port-number mapping, anything else as a device path.
TPortOpenResult OpenServicePort(const std::string& portName);

enum class TServiceIcon { Information, Question, Error };

// A message box of a utility: icon, caption and text (UTF-8).
struct TServiceMessage {
    TServiceIcon Icon = TServiceIcon::Information;
    std::string Caption;
    std::string Text;
};

} // namespace virs
