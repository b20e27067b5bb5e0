// The virtual UPS's commands, scenario files and the encoding of its state on each link.
#include "scenario.h"
#include "ups_state.h"

#include <gtest/gtest.h>

using namespace vups;
using namespace std::chrono_literals;
using K = Command::Kind;

TEST(VirtualUpsCommands, EachCommandAndItsArgument)
{
    struct Row
    {
        const char *text;
        K kind;
        int code;
        WaitFor waitFor;
        Millis timeout;
    };
    const Row rows[] = {
        {"mains off", K::MainsOff, 0, WaitFor::Link, 30000ms},
        {"  mains   on ", K::MainsOn, 0, WaitFor::Link, 30000ms}, // blanks do not matter
        {"battery low", K::BatteryLow, 0, WaitFor::Link, 30000ms},
        {"battery ok", K::BatteryOk, 0, WaitFor::Link, 30000ms},
        {"unplug", K::Unplug, 0, WaitFor::Link, 30000ms},
        {"plug", K::Plug, 0, WaitFor::Link, 30000ms},
        {"status", K::Status, 0, WaitFor::Link, 30000ms},
        {"quit", K::Quit, 0, WaitFor::Link, 30000ms},
        {"code 255", K::Code, 255, WaitFor::Link, 30000ms},
        {"code 0", K::Code, 0, WaitFor::Link, 30000ms},
        {"wait power-off", K::Wait, 0, WaitFor::PowerOff, 30000ms},
        {"wait link 1.5s", K::Wait, 0, WaitFor::Link, 1500ms},
        {"wait exit 2m", K::Wait, 0, WaitFor::Exit, 120000ms},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.text);
        QString why;
        const std::optional<Command> c = ParseCommand(QString::fromLatin1(row.text), &why);
        ASSERT_TRUE(c.has_value()) << why.toStdString();
        EXPECT_EQ(c->kind, row.kind);
        if (row.kind == K::Code) {
            EXPECT_EQ(c->code, row.code);
        }
        if (row.kind == K::Wait) {
            EXPECT_EQ(c->waitFor, row.waitFor);
            EXPECT_EQ(c->timeout, row.timeout);
        }
    }
}

TEST(VirtualUpsCommands, RefusesWhatItCannotDo)
{
    for (const char *text :
         {"", "mains", "mains of", "Mains off", "battery", "code", "code 256", "code -1", "code x", "wait",
          "wait forever", "wait link 0s", "wait link soon", "plug now"}) {
        SCOPED_TRACE(text);
        QString why;
        EXPECT_FALSE(ParseCommand(QString::fromLatin1(text), &why).has_value());
        EXPECT_FALSE(why.isEmpty());
    }
}

TEST(VirtualUpsScenario, DurationsAndTheirUnits)
{
    EXPECT_EQ(ParseDuration(QStringLiteral("500ms")), 500ms);
    EXPECT_EQ(ParseDuration(QStringLiteral("2s")), 2000ms);
    EXPECT_EQ(ParseDuration(QStringLiteral("0.25s")), 250ms);
    EXPECT_EQ(ParseDuration(QStringLiteral("2m")), 120000ms);
    EXPECT_EQ(ParseDuration(QStringLiteral("0s")), 0ms);
    for (const char *bad : {"2", "s", "-1s", "2h", "1e3s", "2 s", "25h", "1441m"})
        EXPECT_FALSE(ParseDuration(QString::fromLatin1(bad)).has_value()) << bad;
}

TEST(VirtualUpsScenario, StepsKeepTheirDelaysAndLines)
{
    const std::vector<Step> steps = ParseScenario(QStringLiteral("# a mains failure\n"
                                                                 "+0s wait link\n"
                                                                 "\n"
                                                                 "+2s mains off   # the UPS runs on battery\n"
                                                                 "+500ms unplug\n"
                                                                 "   +1.5s quit\n"));
    ASSERT_EQ(steps.size(), 4u);
    EXPECT_EQ(steps[0].command.kind, K::Wait);
    EXPECT_EQ(steps[0].line, 2);
    EXPECT_EQ(steps[1].delay, 2000ms);
    EXPECT_EQ(steps[1].command.kind, K::MainsOff);
    EXPECT_EQ(steps[1].line, 4);
    EXPECT_EQ(steps[2].delay, 500ms);
    EXPECT_EQ(steps[3].delay, 1500ms);
    EXPECT_EQ(steps[3].command.kind, K::Quit);
    EXPECT_TRUE(ParseScenario(QStringLiteral("# only comments\n\n")).empty());
}

TEST(VirtualUpsScenario, ABadLineIsNamed)
{
    struct Row
    {
        const char *text;
        const char *expected; // start of the message
    };
    const Row rows[] = {
        {"+1s mains on\nmains off\n", "line 2:"},     // no time
        {"+1s mains on\n+2x mains off\n", "line 2:"}, // bad unit
        {"+1s\n", "line 1:"},                         // time without a command
        {"\n\n+1s explode\n", "line 3:"},             // unknown command
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.text);
        try {
            ParseScenario(QString::fromLatin1(row.text));
            ADD_FAILURE() << "accepted";
        } catch (const ScenarioError &e) {
            EXPECT_EQ(std::string(e.what()).rfind(row.expected, 0), 0u) << e.what();
        }
    }
}

TEST(VirtualUpsState, EncodingOnEachLink)
{
    struct Row
    {
        bool mainsOn, batteryLow, connected;
        int code;
        bool cts, dcd;
    };
    // USB codes 1/2/3; the cable: both lines for mains, CTS off for a mains
    // failure, DCD off for a low battery, nothing when pulled
    const Row rows[] = {
        {true, false, true, 3, true, true},    {false, false, true, 1, false, true},
        {false, true, true, 2, true, false},   {true, true, true, 3, true, true},
        {true, false, false, 3, false, false}, {false, true, false, 2, false, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(::testing::Message() << row.mainsOn << row.batteryLow << row.connected);
        UpsState s;
        s.mainsOn = row.mainsOn;
        s.batteryLow = row.batteryLow;
        s.connected = row.connected;
        EXPECT_EQ(UsbStatusCode(s), row.code);
        EXPECT_EQ(SerialLinesFor(s).cts, row.cts);
        EXPECT_EQ(SerialLinesFor(s).dcd, row.dcd);
    }
    UpsState raw;
    raw.mainsOn = false;
    raw.rawCode = 0;
    EXPECT_EQ(UsbStatusCode(raw), 0); // a forced code wins over the state
}
