#include "model/Records.h"

#include <cstring>

namespace virs {
namespace {

constexpr const char* DeviceTypeNames[DeviceTypeCount] = {
    "прибор отключен", "теплосчётчик Toplin", "КРЭН", "ВИРС-Ш", "ВИРС-Д", "ВИРС-ДК", "ВИРС-Д2",
};
constexpr const char* LinkTypeNames[LinkTypeCount] = {
    "прямое RS232/RS485",
    "Dial-Up модем",
    "GSM модем",
};

template <typename T> T ZeroFilled() {
    T record;
    std::memset(&record, 0, sizeof record);
    return record;
}

void FillNameSlot(TParamSlot& slot, const char* label, const char* value) {
    slot.Label.Set(label);
    slot.Caption.Set("Имя");
    slot.Value.Set(value);
    slot.LabelEditable = 0;
    slot.Used = 1;
}

} // namespace

const char* DeviceTypeName(TDeviceType code) {
    return code < DeviceTypeCount ? DeviceTypeNames[code] : "";
}

const char* LinkTypeName(TLinkType code) {
    return code < LinkTypeCount ? LinkTypeNames[code] : "";
}

TNode NewNodeRecord() {
    TNode node = ZeroFilled<TNode>();
    FillNameSlot(node.NameSlot, "NODE_NAME", "новый узел");
    node.BaudIndex = 3; // 9600
    node.Retries = 3;
    node.ReplyTimeoutMs = DefaultReplyTimeoutMs;
    node.ModemInit.Set("AT&FE0V1");
    return node;
}

TDevice NewDeviceRecord() {
    TDevice device = ZeroFilled<TDevice>();
    FillNameSlot(device.NameSlot, "POINT_NAME", "новый прибор");
    return device;
}

TParamSlot NewParamSlot() {
    TParamSlot slot = ZeroFilled<TParamSlot>();
    slot.Label.Set("NEW_LABEL");
    slot.Caption.Set("новый параметр");
    slot.Value.Set("новое содержание");
    slot.LabelEditable = 1;
    slot.Used = 1;
    return slot;
}

} // namespace virs
