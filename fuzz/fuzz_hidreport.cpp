// HID report descriptors from arbitrary bytes, and the framing of one report read with the lengths found.
#include "devices/hidreportdescriptor.h"
#include "devices/hidreportframe.h"
#include "fuzz_check.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <vector>

namespace {

bool plausible(int length)
{
    return length == 0 || (length >= 2 && length <= 0xFFFF);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const std::size_t descriptorSize = in.ConsumeIntegralInRange<std::size_t>(0, in.remaining_bytes());
    // an exact-size copy, so a read past the end is seen
    const std::vector<uint8_t> descriptor = in.ConsumeBytes<uint8_t>(descriptorSize);
    const std::vector<uint8_t> wire = in.ConsumeRemainingBytes<uint8_t>();

    const std::optional<HidReportLengths> lengths =
        parseHidReportDescriptor(descriptor.data(), descriptor.size());
    int inputLength = 16;
    bool prefix = wire.size() % 2 == 0;
    if (lengths) {
        FUZZ_CHECK(plausible(lengths->Input) && plausible(lengths->Output) && plausible(lengths->Feature));
        inputLength = lengths->Input;
        prefix = !lengths->UsesReportIds;
    }

    // one read of the node: the kernel gives at most what the buffer takes
    HidReportFrame frame(inputLength, prefix);
    uint8_t *target = frame.PrepareRead();
    const std::size_t capacity = frame.ReadCapacity();
    FUZZ_CHECK(capacity >= 1);
    if (wire.empty()) return 0;
    const std::size_t n = std::min(wire.size(), capacity);
    std::memcpy(target, wire.data(), n);
    const HidReportFrame::Report report = frame.Frame(n);

    FUZZ_CHECK(report.Size >= 0);
    if (inputLength > 1) FUZZ_CHECK(report.Size + 1 <= inputLength); // never longer than declared
    if (prefix) {
        FUZZ_CHECK(report.ReportID == 0);
        FUZZ_CHECK(std::size_t(report.Size) == n && std::memcmp(report.Data, wire.data(), n) == 0);
    } else {
        FUZZ_CHECK(report.ReportID == wire[0]);
        FUZZ_CHECK(std::size_t(report.Size) == n - 1 &&
                   std::memcmp(report.Data, wire.data() + 1, n - 1) == 0);
    }
    // a longer count than the read can give is the capacity
    const HidReportFrame::Report clamped = frame.Frame(capacity + wire.size());
    FUZZ_CHECK(clamped.Size == int(capacity + (prefix ? 1 : 0)) - 1);
    return 0;
}
