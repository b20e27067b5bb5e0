// The report handed over after one read: report id first, with or without ids on the wire.
#include "devices/hidreportframe.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

TEST(HidReportFrame, ReportIdComesFirstWhateverTheDevice)
{
    const struct
    {
        const char *why;
        int reportLength;
        bool prefix;
        std::vector<uint8_t> wire; // what one read gives
        uint8_t id;
        std::vector<uint8_t> data;
    } rows[] = {
        {"no ids: the bare report follows a 0 id", 4, true, {0x11, 0x22, 0x33}, 0, {0x11, 0x22, 0x33}},
        {"ids: the first byte read is the id", 4, false, {0x05, 0x22, 0x33, 0x44}, 5, {0x22, 0x33, 0x44}},
        {"a short report is handed over short", 9, false, {0x02, 0x01}, 2, {0x01}},
        {"a device that declares no input report still reads one byte", 0, true, {0x7F}, 0, {0x7F}},
    };
    for (const auto &r : rows) {
        HidReportFrame frame(r.reportLength, r.prefix);
        uint8_t *target = frame.PrepareRead();
        ASSERT_GE(frame.ReadCapacity(), r.wire.size()) << r.why;
        std::memcpy(target, r.wire.data(), r.wire.size());
        const HidReportFrame::Report report = frame.Frame(r.wire.size());
        EXPECT_EQ(report.ReportID, r.id) << r.why;
        EXPECT_EQ(std::vector<uint8_t>(report.Data, report.Data + report.Size), r.data) << r.why;
    }
}

TEST(HidReportFrame, EachReadStartsFromAClearedBuffer)
{
    HidReportFrame frame(4, true);
    std::memset(frame.PrepareRead(), 0xEE, frame.ReadCapacity());
    frame.PrepareRead()[0] = 0x01;
    const HidReportFrame::Report report =
        frame.Frame(frame.ReadCapacity() + 5); // more than fits counts as full
    EXPECT_EQ(report.ReportID, 0);
    EXPECT_EQ(std::vector<uint8_t>(report.Data, report.Data + report.Size),
              (std::vector<uint8_t>{0x01, 0, 0}));
}
