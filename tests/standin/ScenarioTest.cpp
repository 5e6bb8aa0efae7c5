// The scenario grammar of README.md: every command with its arguments, the failures, and
// the lines that cannot be read, each reported with its number.
#include "tests/standin/Scenario.h"

#include <gtest/gtest.h>

#include <iterator>

using namespace Folio::Standin;

TEST(StandinScenario, ReadsEachCommandAndReportsBadLines)
{
    const TScenario scenario = ParseScenario(
        "\xEF\xBB\xBF# comment\r\n"
        "fail controller 0x80070005\n"
        "fail webview\n"
        "\n"
        "request file:///a.css stylesheet\n"
        "request file:///b\n"
        "message file:///index.html {\"id\": 1}\n"
        "title A  title \n"
        "close\n"
        "new-window https://example.com/x y\n"
        "permission 3 file:///p\n"
        "process-failed gpu-exited\n"
        "on-script onCloseQuery file:///i {\"id\":50001}\n"
        "wait 250\n"
        "wait-reply 0x10\n"
        "jump 3\n"
        "request\n"
        "request file:///c nowhere\n"
        "permission teleport file:///p\n"
        "wait soon\n"
        "close now\n"
        "fail everything\n"
        "message file:///only-a-source\n");
    EXPECT_EQ(scenario.Failure(EFailStep::Controller), static_cast<int32_t>(0x80070005));
    EXPECT_EQ(scenario.Failure(EFailStep::WebView), static_cast<int32_t>(0x80004005));
    EXPECT_FALSE(scenario.Failure(EFailStep::EnvironmentCall));

    struct TExpected {
        ECommand Command;
        int Line;
        std::u16string Uri, Text;
        int32_t Kind;
        uint32_t Milliseconds;
    };
    const TExpected expected[] = {
        {ECommand::Request, 5, u"file:///a.css", u"", 2, 0},
        {ECommand::Request, 6, u"file:///b", u"", 16, 0},
        {ECommand::Message, 7, u"file:///index.html", u"{\"id\": 1}", 0, 0},
        {ECommand::Title, 8, u"", u"A  title ", 0, 0},
        {ECommand::Close, 9, u"", u"", 0, 0},
        {ECommand::NewWindow, 10, u"https://example.com/x y", u"", 0, 0},
        {ECommand::Permission, 11, u"file:///p", u"", 3, 0},
        {ECommand::ProcessFailed, 12, u"", u"", 6, 0},
        {ECommand::OnScript, 13, u"file:///i", u"{\"id\":50001}", 0, 0},
        {ECommand::Wait, 14, u"", u"", 0, 250},
        {ECommand::WaitReply, 15, u"", u"", 0, 16},
    };
    ASSERT_EQ(scenario.Steps.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(expected[i].Line);
        const TStep& step = scenario.Steps[i];
        EXPECT_EQ(step.Command, expected[i].Command);
        EXPECT_EQ(step.Line, expected[i].Line);
        EXPECT_TRUE(step.Uri == expected[i].Uri);
        EXPECT_TRUE(step.Text == expected[i].Text);
        EXPECT_EQ(step.Kind, expected[i].Kind);
        EXPECT_EQ(step.Milliseconds, expected[i].Milliseconds);
    }
    EXPECT_TRUE(scenario.Steps[8].Match == u"onCloseQuery");
    const std::vector<std::string> errors = {
        "line 16: unknown command jump",
        "line 17: request needs a URL",
        "line 18: request: unknown resource context",
        "line 19: permission: unknown kind",
        "line 20: wait needs milliseconds",
        "line 21: close takes no arguments",
        "line 22: fail needs a step: environment-call, environment, controller, webview or settings",
        "line 23: message needs a source and a JSON message",
    };
    EXPECT_EQ(scenario.Errors, errors);
}

TEST(StandinScenario, SectionsBelongToEnvironmentsInOrder)
{
    const std::string_view sectioned = "fail controller\nclose\nnext-environment\n# second\ntitle Two\n"
                                       "next-environment\nwait 5\n";
    const struct {
        size_t Environment;
        size_t Steps;
        bool ControllerFails;
        int FirstLine;
    } cases[] = {{0, 1, true, 2}, {1, 1, false, 5}, {2, 1, false, 7}, {3, 0, false, 0}};
    for (const auto& c : cases) {
        const TScenario scenario = ParseScenario(sectioned, c.Environment);
        ASSERT_EQ(scenario.Steps.size(), c.Steps) << c.Environment;
        EXPECT_EQ(scenario.Failure(EFailStep::Controller).has_value(), c.ControllerFails) << c.Environment;
        if (c.Steps) {
            EXPECT_EQ(scenario.Steps[0].Line, c.FirstLine) << c.Environment;
        }
    }
    // Without sections every environment plays the whole file.
    EXPECT_EQ(ParseScenario("close\ntitle x\n", 4).Steps.size(), 2u);
}

TEST(StandinScenario, RangeRequestsCarryTheirHeader)
{
    const TScenario scenario = ParseScenario("request-range file:///v.mp4 bytes=0-99\nrequest-range file:///v.mp4\n");
    ASSERT_EQ(scenario.Steps.size(), 1u);
    EXPECT_EQ(scenario.Steps[0].Command, ECommand::Request);
    EXPECT_TRUE(scenario.Steps[0].Uri == u"file:///v.mp4");
    EXPECT_TRUE(scenario.Steps[0].Range == u"bytes=0-99");
    EXPECT_EQ(ResourceContextName(scenario.Steps[0].Kind), "media");
    EXPECT_EQ(scenario.Errors, std::vector<std::string>{"line 2: request-range needs a URL and a Range header"});
}

TEST(StandinScenario, FollowTakesTheRestOfTheLineAsItsUrl)
{
    const TScenario scenario = ParseScenario("follow https://example.com/a b\nfollow\n");
    ASSERT_EQ(scenario.Steps.size(), 1u);
    EXPECT_EQ(scenario.Steps[0].Command, ECommand::Follow);
    EXPECT_TRUE(scenario.Steps[0].Uri == u"https://example.com/a b");
    EXPECT_EQ(scenario.Errors, std::vector<std::string>{"line 2: follow needs a URL"});
}
