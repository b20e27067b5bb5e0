// How one read of a HID node becomes the report handed over: the report id always comes first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The buffer one read goes into. A device without report ids gives its
// reports bare, so its read lands one byte in and the leading byte stays 0:
// the layer above sees the report id first either way.
class HidReportFrame
{
public:
    struct Report
    {
        uint8_t ReportID;
        const uint8_t *Data; // the bytes after the id
        int Size;
    };

    // reportLength counts the report-id byte, as the descriptor parser gives it.
    HidReportFrame(int reportLength, bool prefixReportId);

    // Clears the buffer and gives where the next read goes; it may take
    // ReadCapacity() bytes.
    uint8_t *PrepareRead();
    std::size_t ReadCapacity() const { return m_buffer.size() - Offset(); }

    // The report after a read of n bytes (at least 1; more than the capacity
    // counts as the capacity, as the read cannot have given more).
    Report Frame(std::size_t n) const;

private:
    std::size_t Offset() const { return m_prefixReportId ? 1 : 0; }

    bool m_prefixReportId;
    std::vector<uint8_t> m_buffer;
};
