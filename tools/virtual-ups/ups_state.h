// The emulated UPS's state and how each link encodes it.
#pragma once

#include <QString>

namespace vups {

struct UpsState
{
    bool mainsOn = true;
    bool batteryLow = false;
    bool connected = true; // USB plugged in / serial cable attached
    int rawCode = -1;      // USB: a code forced by "code N" until the next state command
};

// The status code of the USB input report: 1 on battery, 2 on battery and
// low, 3 on mains. On mains the UPS has no code for a low battery.
int UsbStatusCode(const UpsState &state);

struct SerialLines
{
    bool cts = false;
    bool dcd = false;
};

// The contact-closure cable: CTS and DCD on for mains, CTS off for a mains
// failure, DCD off for a low battery on battery power; both off when the
// cable is pulled. On mains the cable has no low-battery signal either.
SerialLines SerialLinesFor(const UpsState &state);

// "mains on, battery ok", as the status line shows it.
QString Describe(const UpsState &state);
QString DescribeCode(int code);

} // namespace vups
