// Commands of the virtual UPS and timed scenario files made of them.
#pragma once

#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>
#include <stdexcept>
#include <vector>

namespace vups {

using Millis = std::chrono::milliseconds;

// What a scenario can wait for before its next step.
enum class WaitFor {
    Link,     // the program talks to the UPS (USB: a keep-alive; serial: DTR low, RTS high)
    PowerOff, // the program told the UPS to switch off (USB: the report; serial: DTR raised)
    Exit,     // the program has ended
};

struct Command
{
    enum class Kind { MainsOff, MainsOn, BatteryLow, BatteryOk, Unplug, Plug, Code, Status, Wait, Quit };
    Kind kind = Kind::Status;
    int code = 0; // Kind::Code: the raw status code (0-255) sent over USB
    WaitFor waitFor = WaitFor::Link;
    Millis timeout{30000}; // Kind::Wait: how long before the scenario fails
};

// "mains off", "battery low", "code 4", "wait link 20s", ... (blanks around
// and between words do not matter, case does). Empty optional and a reason in
// `error` for anything else.
std::optional<Command> ParseCommand(const QString &text, QString *error);

// "500ms", "2s", "1.5s", "2m": a non-negative duration.
std::optional<Millis> ParseDuration(const QString &text);

struct Step
{
    Millis delay{0}; // after the previous step (or the start)
    Command command;
    int line = 0; // in the scenario file, from 1
};

class ScenarioError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// One step per line: "+<duration> <command>"; "#" starts a comment, blank
// lines are skipped. Throws ScenarioError naming the first bad line.
std::vector<Step> ParseScenario(const QString &text);

// The commands understood, for the help text.
QStringList CommandHelp();

} // namespace vups
