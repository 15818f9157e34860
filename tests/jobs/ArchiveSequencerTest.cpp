// The archive walk step by step, with the device's answers put into the job
// buffer by hand: which request follows each completion, when the walk ends,
// which rows it writes, and the progress texts.

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "jobs/ArchiveWalk.h"
#include "tests/support/RecordingJobUi.h"

namespace virs {
namespace {

struct TRow {
    char Kind; // 'S', 'D', 'T' (totals), '2'
    std::uint16_t Row;
    TDateTime Date;
    double First; // first volume
};

class TFakeSink final : public TArchiveSink {
public:
    std::string Check(const TDevice&, const TArchiveHead&, std::int32_t) override { return ""; }
    std::uint16_t Open(TDevice&, const TArchiveHead& head) override {
        ++Opened;
        Head = head;
        return head.Type == DeviceVirsSh ? 9 : head.Type == DeviceVirsD2 ? 22 : 8;
    }
    void AddShRow(std::uint16_t row, TDateTime date, const TShArchiveRow& v) override {
        Rows.push_back({'S', row, date, v.Volume});
    }
    void AddDRow(std::uint16_t row, TDateTime date, const TDArchiveRow& v) override {
        Rows.push_back({'D', row, date, v.Volumes[0]});
    }
    void AddDTotals(std::uint16_t row, const TDArchiveRow& v) override {
        Rows.push_back({'T', row, 0, v.Volumes[0]});
    }
    void AddD2Row(std::uint16_t row, TDateTime date, const TD2ArchiveRow& v) override {
        Rows.push_back({'2', row, date, v.Volumes[0]});
    }
    std::string Save() override {
        ++Saves;
        return FailSave ? "нет места" : "";
    }
    int Opened = 0, Saves = 0;
    bool FailSave = false;
    TArchiveHead Head;
    std::vector<TRow> Rows;
};

class ArchiveWalkTest : public ::testing::Test {
protected:
    void SetUp() override {
        TNode node = NewNodeRecord();
        State.Base.Nodes.push_back(node);
        State.Base.Devices.emplace_back();
    }
    void AddDevice(TDeviceType type) {
        TDevice d = NewDeviceRecord();
        d.DeviceType = type;
        d.NetAddress = 5;
        State.Base.Devices[0].push_back(d);
        State.Base.Nodes[0].DeviceCount = 1;
    }
    // The job fields as StartJob leaves them.
    void Start(TDeviceType type, std::uint8_t view, std::int64_t first, std::int64_t last,
               TDateTime now) {
        AddDevice(type);
        const TArchiveKind kind = ArchiveKindOf(type, view);
        const TArchiveJobRange r = ArchiveJobRange(type, kind, first, last, now);
        State.JobView = view;
        State.JobStep = 0;
        State.JobStartDate = r.StartDate;
        State.JobEndDate = r.EndDate;
        State.JobRecordsTotal = r.RecordsTotal;
        State.JobRecordsDone = 0;
        State.ArchiveDialog.FirstDay = first;
        State.ArchiveDialog.LastDay = last;
        const TFirstRequest req = FirstRequest(type, view, r, State.JobBuffer);
        State.Exchange.FunctionCode = req.FunctionCode;
        State.Exchange.StartRegister = req.StartRegister;
        State.Exchange.RegisterCount = req.RegisterCount;
        State.Exchange.JobFinished = false;
    }
    void ShRecord(bool valid, std::uint16_t volumeLow) {
        std::memset(State.JobBuffer.ShArchiveRecord.Bytes, 0, 10);
        State.JobBuffer.ShArchiveRecord.Bytes[0] = static_cast<std::uint8_t>(volumeLow);
        State.JobBuffer.ShArchiveRecord.Bytes[1] = static_cast<std::uint8_t>(volumeLow >> 8);
        State.JobBuffer.ShArchiveRecord.Bytes[8] = valid ? 0x80 : 0;
    }
    void Header(std::int64_t day, std::uint8_t status = 0) {
        const std::int64_t d = day - DeviceEpochDay;
        State.Exchange.RecordHeader[0] = status;
        State.Exchange.RecordHeader[1] = static_cast<std::uint8_t>(d);
        State.Exchange.RecordHeader[2] = static_cast<std::uint8_t>(d >> 8);
    }

    TProgramState State;
    test::TRecordingJobUi Ui;
    TProtocolLog Log;
    TJobContext Job{State, &Ui,         Log,
                    {},    nullptr,     [] { return EncodeDateTime(2024, 3, 15, 10, 30); },
                    {},    std::nullopt};
    TFakeSink Sink;
    TArchiveWalk Walk{Sink};
};

TEST_F(ArchiveWalkTest, ShDailyOneDayEndsAfterTheFirstAnswer) {
    const std::int64_t day = EncodeDate(2024, 3, 10);
    Start(DeviceVirsSh, 1, day, day, EncodeDateTime(2024, 3, 15, 10));
    ShRecord(true, 500);
    Walk.Step(Job);
    EXPECT_TRUE(State.Exchange.JobFinished);
    ASSERT_EQ(Sink.Rows.size(), 1u);
    EXPECT_EQ(Sink.Rows[0].Row, 9);
    EXPECT_EQ(Sink.Rows[0].Date, static_cast<double>(day));
    EXPECT_EQ(Sink.Saves, 1);
}

TEST_F(ArchiveWalkTest, ShDailyOneInvalidDayEndsWithoutARow) {
    const std::int64_t day = EncodeDate(2024, 3, 10);
    Start(DeviceVirsSh, 1, day, day, EncodeDateTime(2024, 3, 15, 10));
    ShRecord(false, 500);
    Walk.Step(Job);
    EXPECT_TRUE(State.Exchange.JobFinished);
    EXPECT_TRUE(Sink.Rows.empty());
    EXPECT_EQ(Sink.Saves, 1);
}

TEST_F(ArchiveWalkTest, ShDailyWalksBackThroughTheWrapAndSkipsInvalidRecords) {
    // 2000-01-01 + 1461 days: slot 0 at 1001; the walk goes 1001 → 1000 → 2460.
    const std::int64_t last = DeviceEpochDay + 1461;
    Start(DeviceVirsSh, 1, last - 2, last, EncodeDateTime(2004, 1, 10, 10));
    EXPECT_EQ(State.Exchange.StartRegister, 1001);
    const bool valid[3] = {true, false, true};
    const std::uint16_t expectNext[2] = {1000, 2460};
    for (int i = 0; i < 3; ++i) {
        ShRecord(valid[i], static_cast<std::uint16_t>(i + 1));
        Walk.Step(Job);
        if (i < 2) {
            ASSERT_FALSE(State.Exchange.JobFinished) << i;
            EXPECT_EQ(State.Exchange.StartRegister, expectNext[i]);
            EXPECT_EQ(State.Exchange.RegisterCount, 5);
            EXPECT_EQ(State.JobStep, 1);
        }
    }
    EXPECT_TRUE(State.Exchange.JobFinished);
    // The invalid middle record leaves no row and no gap.
    ASSERT_EQ(Sink.Rows.size(), 2u);
    EXPECT_EQ(Sink.Rows[0].Row, 9);
    EXPECT_EQ(Sink.Rows[0].Date, static_cast<double>(last));
    EXPECT_EQ(Sink.Rows[1].Row, 10);
    EXPECT_EQ(Sink.Rows[1].Date, static_cast<double>(last - 2));
    // Progress only from the second record on: RecordsTotal is 2 (whole days between).
    EXPECT_EQ(Ui.Statuses, std::vector<std::string>{"Выполнено...50%"});
}

TEST_F(ArchiveWalkTest, ShHourlyAlwaysAsksForASecondRecordAndWrapsTo9180) {
    // A past day: the range is 00:00 of the day to 00:00 of the next; the
    // first record is the one of that end, dated an hour before it.
    const std::int64_t day = DeviceEpochDay + 281;
    Start(DeviceVirsSh, 2, day, day, EncodeDateTime(2001, 1, 1, 10));
    EXPECT_EQ(State.Exchange.StartRegister, 2461 + 2 * 24); // (282 mod 280) × 24
    EXPECT_EQ(State.JobRecordsTotal, 48);                   // Trunc(end - start) × 24 + 24
    for (int i = 0; i < 22; ++i) {
        ShRecord(true, 1);
        Walk.Step(Job);
        ASSERT_FALSE(State.Exchange.JobFinished) << i;
        EXPECT_EQ(State.Exchange.StartRegister, 2461 + 47 - i);
    }
    ShRecord(true, 1);
    Walk.Step(Job);
    EXPECT_TRUE(State.Exchange.JobFinished);
    // 23:00 down to 01:00: the walk stops when the next hour back is the start.
    ASSERT_EQ(Sink.Rows.size(), 23u);
    EXPECT_EQ(ArchiveMsOf(Sink.Rows[0].Date), day * ArchiveMsPerDay + 23 * ArchiveMsPerHour);
    EXPECT_EQ(ArchiveMsOf(Sink.Rows[22].Date), day * ArchiveMsPerDay + ArchiveMsPerHour);
    EXPECT_EQ(Sink.Rows[22].Row, 9 + 22);
    EXPECT_EQ(Ui.Statuses.back(), "Выполнено...45%"); // 22 of 48
}

TEST_F(ArchiveWalkTest, ShHourlyWrapsFromTheBottomOfItsAreaToTheTop) {
    Start(DeviceVirsSh, 2, DeviceEpochDay + 279, DeviceEpochDay + 279,
          EncodeDateTime(2001, 1, 1, 10));
    EXPECT_EQ(State.Exchange.StartRegister, 2461);
    ShRecord(true, 1);
    Walk.Step(Job);
    EXPECT_EQ(State.Exchange.StartRegister, 9180);
    EXPECT_FALSE(State.Exchange.JobFinished);
}

TEST_F(ArchiveWalkTest, ShHourlyOneHourStillReadsTwoRecords) {
    const std::int64_t day = DeviceEpochDay + 281;
    Start(DeviceVirsSh, 2, day, day, static_cast<double>(day) + 1.0 / 24.0 + 0.001);
    ShRecord(true, 1);
    Walk.Step(Job);
    EXPECT_FALSE(State.Exchange.JobFinished);
    Walk.Step(Job);
    EXPECT_TRUE(State.Exchange.JobFinished);
    EXPECT_EQ(Sink.Rows.size(), 2u);
}

TEST_F(ArchiveWalkTest, DMonthlyJanuaryToMarchReadsThreeMonths) {
    Start(DeviceVirsD, 3, EncodeDate(2024, 1, 20), EncodeDate(2024, 3, 5),
          EncodeDateTime(2024, 3, 15, 10));
    EXPECT_EQ(State.Exchange.StartRegister, 56); // the scale codes first
    Walk.Step(Job);                              // scale codes → selector
    const std::uint8_t months[3] = {1, 2, 3};
    for (int m = 0; m < 3; ++m) {
        ASSERT_EQ(State.Exchange.FunctionCode, FunctionWriteRegisters);
        EXPECT_EQ(State.Exchange.StartRegister, 0);
        EXPECT_EQ(State.Exchange.RegisterCount, 3);
        const std::uint8_t sel[6] = {months[m], 24, 0, 1, 2, 0};
        EXPECT_EQ(std::memcmp(State.JobBuffer.ArchiveSelector.Bytes, sel, 6), 0) << m;
        Walk.Step(Job); // selector accepted
        ASSERT_EQ(State.Exchange.FunctionCode, FunctionReadRegisters);
        EXPECT_EQ(State.Exchange.StartRegister, 200);
        EXPECT_EQ(State.Exchange.RegisterCount, 26);
        EXPECT_EQ(State.JobStep, 2);
        Walk.Step(Job); // record
    }
    EXPECT_TRUE(State.Exchange.JobFinished);
    ASSERT_EQ(Sink.Rows.size(), 4u); // three months and the totals
    EXPECT_EQ(Sink.Rows[0].Date, static_cast<double>(EncodeDate(2024, 1, 1)));
    EXPECT_EQ(Sink.Rows[2].Date, static_cast<double>(EncodeDate(2024, 3, 1)));
    EXPECT_EQ(Sink.Rows[3].Kind, 'T');
    EXPECT_EQ(Sink.Rows[3].Row, 11);
}

TEST_F(ArchiveWalkTest, DHourlyIntegratorsHaveNoTotalsRow) {
    const std::int64_t day = EncodeDate(2024, 3, 14);
    State.ArchiveDialog.Integrators = true;
    Start(DeviceVirsDK, 2, day, day, EncodeDateTime(2024, 3, 15, 10));
    Walk.Step(Job);
    int records = 0;
    while (!State.Exchange.JobFinished && records < 100) {
        EXPECT_EQ(State.JobBuffer.ArchiveSelector.Bytes[2], records); // the hour
        EXPECT_EQ(State.JobBuffer.ArchiveSelector.Bytes[5], 1);       // integrators
        Walk.Step(Job);
        Walk.Step(Job);
        ++records;
    }
    // 00:00 .. 22:00 of a past day: the range ends at 23:00.
    EXPECT_EQ(records, 23);
    ASSERT_EQ(Sink.Rows.size(), 23u);
    EXPECT_EQ(Sink.Rows.back().Kind, 'D');
    EXPECT_EQ(Ui.Statuses.back(), "Выполнено...95%"); // 22 of 23
}

TEST_F(ArchiveWalkTest, D2DifferencesNeedTwoRecordsInARow) {
    // Days asked: 10..13 March; the walk starts at the 9th.
    const std::int64_t first = EncodeDate(2024, 3, 10);
    Start(DeviceVirsD2, 1, first, first + 3, EncodeDateTime(2024, 3, 15, 10));
    State.WorkArea.HavePreviousRecord = true; // left over from an earlier job
    EXPECT_EQ(State.Exchange.FunctionCode, FunctionReadRecordHeader);
    EXPECT_EQ(State.Exchange.StartRegister, D2DailyIndex(first - 1));
    Header(first - 1, 1); // the 9th has no record
    Walk.Step(Job);
    EXPECT_FALSE(State.WorkArea.HavePreviousRecord);
    EXPECT_EQ(State.JobStep, 2);
    EXPECT_EQ(State.Exchange.StartRegister, D2DailyIndex(first));
    for (std::int64_t d = first; d <= first + 3; ++d) {
        Header(d);
        Walk.Step(Job);
        ASSERT_EQ(State.JobStep, 3);
        EXPECT_EQ(State.Exchange.StartRegister, 0);
        EXPECT_EQ(State.Exchange.RegisterCount, 64);
        State.JobBuffer.D2ArchiveRecord.Bytes[0] = static_cast<std::uint8_t>(10 * (d - first));
        Walk.Step(Job);
    }
    EXPECT_TRUE(State.Exchange.JobFinished);
    // The 10th only becomes the previous record; the 11th is a difference.
    ASSERT_EQ(Sink.Rows.size(), 3u);
    EXPECT_EQ(Sink.Rows[0].Date, static_cast<double>(first + 1));
    EXPECT_EQ(Sink.Rows[0].Row, 22);
    EXPECT_DOUBLE_EQ(Sink.Rows[0].First, 10);
    EXPECT_EQ(Sink.Rows[2].Date, static_cast<double>(first + 3));
}

TEST_F(ArchiveWalkTest, D2HourlyEndsWithTheLastHourOfTheLastDay) {
    const std::int64_t day = EncodeDate(2024, 3, 10);
    State.ArchiveDialog.Integrators = true;
    Start(DeviceVirsD2, 2, day, day, EncodeDateTime(2024, 3, 15, 10));
    int headers = 0;
    while (!State.Exchange.JobFinished && headers < 100) {
        ASSERT_EQ(State.Exchange.FunctionCode, FunctionReadRecordHeader);
        EXPECT_EQ(State.Exchange.StartRegister, D2HourlyIndex(day, headers));
        Header(day);
        Walk.Step(Job);
        Walk.Step(Job);
        ++headers;
    }
    EXPECT_EQ(headers, 24);
    EXPECT_EQ(Sink.Rows.size(), 24u);
    EXPECT_EQ(ArchiveMsOf(Sink.Rows.back().Date), day * ArchiveMsPerDay + 23 * ArchiveMsPerHour);
}

TEST_F(ArchiveWalkTest, AFailedSaveShowsTheMessageAndTheJobStillEnds) {
    std::vector<std::string> shown;
    Walk.ShowError = [&](const std::string& t) { shown.push_back(t); };
    Sink.FailSave = true;
    const std::int64_t day = EncodeDate(2024, 3, 10);
    Start(DeviceVirsSh, 1, day, day, EncodeDateTime(2024, 3, 15, 10));
    ShRecord(true, 1);
    Walk.Step(Job);
    EXPECT_TRUE(State.Exchange.JobFinished);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], "Не удалось сохранить файл с полученным архивом.\rВозможно, он открыт в "
                        "другом приложении");
    EXPECT_EQ(Ui.Renders, 1);
    // The end-of-job save after a normal finish writes nothing more.
    Walk.SaveOnEarlyEnd(Job);
    EXPECT_EQ(Sink.Saves, 1);
    EXPECT_EQ(shown.size(), 1u);
}

TEST_F(ArchiveWalkTest, AnEarlyEndSavesTheRowsSoFar) {
    const std::int64_t last = EncodeDate(2024, 3, 14);
    Start(DeviceVirsSh, 1, last - 5, last, EncodeDateTime(2024, 3, 15, 10));
    for (int i = 0; i < 2; ++i) {
        ShRecord(true, 7);
        Walk.Step(Job);
    }
    ASSERT_FALSE(State.Exchange.JobFinished);
    EXPECT_EQ(Sink.Saves, 0);
    Walk.SaveOnEarlyEnd(Job); // the job is stopped or fails here
    EXPECT_EQ(Sink.Saves, 1);
    EXPECT_EQ(Sink.Rows.size(), 2u);
    EXPECT_EQ(Ui.Renders, 1);
}

} // namespace
} // namespace virs
