#pragma once
// A job interface that records what the job layer shows: the last value of
// each control, every status text, the renders. Pictures are recorded as the
// main window's image list numbers them (tree: ВИРС-Ш 11 / busy 12, ВИРС-Д and
// ВИРС-ДК 9 / 10, ВИРС-Д2 13 / 14; start button 21 up, 22 down), so tests
// state the pictures they expect.

#include <string>
#include <vector>

#include "jobs/Jobs.h"

namespace virs::test {

inline int ExpectedTreePicture(TDeviceType type, bool busy) {
    switch (type) {
    case DeviceVirsSh:
        return busy ? 12 : 11;
    case DeviceVirsD:
    case DeviceVirsDK:
        return busy ? 10 : 9;
    case DeviceVirsD2:
        return busy ? 14 : 13;
    default:
        return -1;
    }
}

class TRecordingJobUi final : public TJobUi {
public:
    void Apply(const TJobControls& c) override {
        if (c.Picture)
            DeviceImage = ExpectedTreePicture(c.Picture->Type, c.Picture->Busy);
        if (c.StartDown) {
            StartDown = *c.StartDown;
            StartImage = StartDown ? 22 : 21;
        }
        if (c.StartEnabled)
            StartEnabled = *c.StartEnabled;
        if (c.CyclicEnabled)
            CyclicEnabled = *c.CyclicEnabled;
        if (c.Lamps)
            Lamps = *c.Lamps;
        if (c.CyclicTimerInterval) {
            TimerOn = *c.CyclicTimerInterval > 0;
            if (TimerOn)
                Interval = *c.CyclicTimerInterval;
        }
        if (c.Status) {
            Status = *c.Status;
            Statuses.push_back(Status);
        }
        ++Changes;
    }
    bool CyclicDown() const override { return Cyclic; }
    bool RunArchiveDialog(TArchiveRangeDialog&) override { return DialogOk; }
    void Render() override { ++Renders; }

    std::string Status; // the last status text
    std::vector<std::string> Statuses;
    int DeviceImage = -1, StartImage = -1, Renders = 0, Interval = 0, Changes = 0;
    // The start button starts pressed, so that a test sees the job release it.
    bool StartDown = true, StartEnabled = false, CyclicEnabled = false, Lamps = false;
    bool TimerOn = false;
    bool Cyclic = false;  // what CyclicDown answers
    bool DialogOk = true; // what the archive dialog answers
};

} // namespace virs::test
