#pragma once
// What the window says about devices of one node that share a network number.

#include <QString>

#include "model/StationBase.h"

namespace virs {

// The device panel's note for `device` of `node`; empty when its number is its own.
QString NetAddressPanelNote(const StationBase& base, int node, int device);
// The status text for the node's clash that involves `device` (else its
// first); empty when the node has none.
QString NetAddressStatusText(const StationBase& base, int node, int device);

} // namespace virs
