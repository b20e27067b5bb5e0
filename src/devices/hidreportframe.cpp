// The read buffer of a HID report and the view of it that is handed over.
#include "devices/hidreportframe.h"

#include <algorithm>
#include <cstring>

HidReportFrame::HidReportFrame(int reportLength, bool prefixReportId)
    : m_prefixReportId(prefixReportId),
      // a device that declares no input report still gets a buffer, so a read
      // of an unexpected report consumes it instead of returning at once
      m_buffer(static_cast<std::size_t>(reportLength > 1 ? reportLength : 2))
{
}

uint8_t *HidReportFrame::PrepareRead()
{
    std::memset(m_buffer.data(), 0, m_buffer.size());
    return m_buffer.data() + Offset();
}

HidReportFrame::Report HidReportFrame::Frame(std::size_t n) const
{
    const std::size_t total = std::min(n, ReadCapacity()) + Offset();
    return {m_buffer[0], m_buffer.data() + 1, total == 0 ? 0 : static_cast<int>(total - 1)};
}
