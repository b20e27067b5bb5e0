// Commands of the virtual UPS and timed scenario files made of them.
#include "scenario.h"

#include <QRegularExpression>

#include <cmath>

namespace vups {

namespace {

struct Word
{
    const char *text;
    Command::Kind kind;
};

// Commands without an argument.
constexpr Word kPlain[] = {
    {"mains off", Command::Kind::MainsOff},     {"mains on", Command::Kind::MainsOn},
    {"battery low", Command::Kind::BatteryLow}, {"battery ok", Command::Kind::BatteryOk},
    {"unplug", Command::Kind::Unplug},          {"plug", Command::Kind::Plug},
    {"status", Command::Kind::Status},          {"quit", Command::Kind::Quit},
};

struct WaitWord
{
    const char *text;
    WaitFor what;
};

constexpr WaitWord kWaits[] = {
    {"link", WaitFor::Link}, {"power-off", WaitFor::PowerOff}, {"exit", WaitFor::Exit}};

} // namespace

std::optional<Millis> ParseDuration(const QString &text)
{
    static const QRegularExpression re(QStringLiteral("^(\\d+(?:\\.\\d+)?)(ms|s|m)$"));
    const QRegularExpressionMatch m = re.match(text.trimmed());
    if (!m.hasMatch()) return std::nullopt;
    const double value = m.captured(1).toDouble();
    const QString unit = m.captured(2);
    const double ms = unit == QLatin1String("ms")  ? value
                      : unit == QLatin1String("s") ? value * 1000
                                                   : value * 60000;
    // a day is far beyond any scenario; refusing it keeps the arithmetic safe
    if (ms > 86400000.0) return std::nullopt;
    return Millis(static_cast<long long>(std::llround(ms)));
}

std::optional<Command> ParseCommand(const QString &text, QString *error)
{
    const QStringList words = text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QString joined = words.join(QLatin1Char(' '));
    auto fail = [&](const QString &why) -> std::optional<Command> {
        if (error) *error = why;
        return std::nullopt;
    };
    if (words.isEmpty()) return fail(QStringLiteral("empty command"));
    for (const Word &w : kPlain) {
        if (joined == QLatin1String(w.text)) {
            Command c;
            c.kind = w.kind;
            return c;
        }
    }
    if (words[0] == QLatin1String("code")) {
        bool ok = false;
        const int code = words.size() == 2 ? words[1].toInt(&ok) : -1;
        if (!ok || code < 0 || code > 255) return fail(QStringLiteral("code wants one number from 0 to 255"));
        Command c;
        c.kind = Command::Kind::Code;
        c.code = code;
        return c;
    }
    if (words[0] == QLatin1String("wait")) {
        if (words.size() < 2 || words.size() > 3)
            return fail(QStringLiteral("wait wants link, power-off or exit, and an optional timeout"));
        Command c;
        c.kind = Command::Kind::Wait;
        bool known = false;
        for (const WaitWord &w : kWaits) {
            if (words[1] == QLatin1String(w.text)) {
                c.waitFor = w.what;
                known = true;
            }
        }
        if (!known) return fail(QStringLiteral("cannot wait for \"%1\"").arg(words[1]));
        if (words.size() == 3) {
            const std::optional<Millis> timeout = ParseDuration(words[2]);
            if (!timeout || timeout->count() == 0)
                return fail(QStringLiteral("bad timeout \"%1\"").arg(words[2]));
            c.timeout = *timeout;
        }
        return c;
    }
    return fail(QStringLiteral("unknown command \"%1\"").arg(joined));
}

std::vector<Step> ParseScenario(const QString &text)
{
    std::vector<Step> steps;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        const qsizetype hash = line.indexOf(QLatin1Char('#'));
        if (hash >= 0) line.truncate(hash);
        line = line.trimmed();
        if (line.isEmpty()) continue;
        const auto bad = [&](const QString &why) {
            return ScenarioError(QStringLiteral("line %1: %2").arg(i + 1).arg(why).toStdString());
        };
        if (!line.startsWith(QLatin1Char('+')))
            throw bad(QStringLiteral("a step starts with +<time>, e.g. +2s"));
        const qsizetype space = line.indexOf(QLatin1Char(' '));
        if (space < 0) throw bad(QStringLiteral("a time without a command"));
        const std::optional<Millis> delay = ParseDuration(line.mid(1, space - 1));
        if (!delay) throw bad(QStringLiteral("bad time \"%1\"").arg(line.left(space)));
        QString why;
        const std::optional<Command> command = ParseCommand(line.mid(space + 1), &why);
        if (!command) throw bad(why);
        steps.push_back({*delay, *command, i + 1});
    }
    return steps;
}

QStringList CommandHelp()
{
    return {
        QStringLiteral("mains off | mains on        the mains input fails / comes back"),
        QStringLiteral("battery low | battery ok    the battery runs low / recovers"),
        QStringLiteral("unplug | plug               USB: the device goes / comes; serial: the cable"),
        QStringLiteral("code N                      USB: send the raw status code N (0-255)"),
        QStringLiteral("status                      what the UPS sends and has received"),
        QStringLiteral("wait link|power-off|exit [T] (scenarios) wait for the program, T at most"),
        QStringLiteral("quit                        end the program and the virtual UPS"),
    };
}

} // namespace vups
