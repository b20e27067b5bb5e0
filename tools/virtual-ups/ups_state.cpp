// The emulated UPS's state and how each link encodes it.
#include "ups_state.h"

namespace vups {

int UsbStatusCode(const UpsState &state)
{
    if (state.rawCode >= 0) return state.rawCode;
    if (state.mainsOn) return 3;
    return state.batteryLow ? 2 : 1;
}

SerialLines SerialLinesFor(const UpsState &state)
{
    if (!state.connected) return {false, false};
    if (state.mainsOn) return {true, true};
    return state.batteryLow ? SerialLines{true, false} : SerialLines{false, true};
}

QString Describe(const UpsState &state)
{
    return QStringLiteral("mains %1, battery %2")
        .arg(state.mainsOn ? QStringLiteral("on") : QStringLiteral("off"),
             state.batteryLow ? QStringLiteral("low") : QStringLiteral("ok"));
}

QString DescribeCode(int code)
{
    switch (code) {
    case 1:
        return QStringLiteral("on battery");
    case 2:
        return QStringLiteral("on battery, battery low");
    case 3:
        return QStringLiteral("on mains");
    default:
        return QStringLiteral("state unknown");
    }
}

} // namespace vups
