// Report lengths of a HID device computed from its report descriptor bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

// Byte lengths of the longest input, output and feature report, each counting
// the leading report-id byte (0 on a device without report ids), so that the
// layer above sees the same lengths whatever the platform. A kind of report the
// device does not declare has length 0.
struct HidReportLengths
{
    int Input = 0;
    int Output = 0;
    int Feature = 0;
    // The descriptor declares report ids: every report on the wire starts with
    // its id. Without ids the kernel hands input reports over bare.
    bool UsesReportIds = false;
};

// Parses the short and long items of a report descriptor. Returns nothing for
// bytes that are not a usable descriptor (a truncated item, Pop without Push,
// unbalanced collections, report id 0 or above 255, a report longer than the
// 16-bit lengths allow, an unknown global item, or no report at all); it never
// reads outside [data, data + size).
std::optional<HidReportLengths> parseHidReportDescriptor(const uint8_t *data, std::size_t size);
