// Shell, power and notification functions over the stand-ins: required fields, what
// reaches the ports, the failure texts, and replies and clicks that come back from
// other threads only when the user-interface queue is pumped.
#include "tests/unit/bridge/StandInModule.h"

#include <gtest/gtest.h>

#include <thread>

using Folio::Platform::TPowerAction;
using FolioTest::TStandInModule;
using M = TStandInModule;

TEST(ShellFunctions, ExecuteAndExplore)
{
    TStandInModule m;
    auto& shell = m.StandIns.Shell;
    EXPECT_EQ(m.Send(M::Request(70001, "a", R"({"arguments": "x"})")), M::Fail("a", "Missing filePath"));
    EXPECT_EQ(m.Send(M::Request(70002, "b", R"({"filePath": null})")), M::Fail("b", "Missing filePath"));
    EXPECT_EQ(m.Send(M::Request(70001, "c", R"({"filePath": "https://example.org/", "arguments": 5})")),
              M::Ok("c", "true"));
    EXPECT_EQ(m.Send(M::Request(70002, "d", R"({"filePath": "C:\\a b\\c.txt"})")), M::Ok("d", "true"));
    ASSERT_EQ(shell.Executed.size(), 1u);
    EXPECT_EQ(shell.Executed[0].first, u"https://example.org/");
    EXPECT_EQ(shell.Executed[0].second, u"5");
    ASSERT_EQ(shell.Explored.size(), 1u);
    EXPECT_EQ(shell.Explored[0], u"C:\\a b\\c.txt");

    shell.Outcome = {false, u"The system cannot find the file \"x\" specified"};
    EXPECT_EQ(m.Send(M::Request(70001, "e", R"({"filePath": "x"})")),
              M::Fail("e", R"(The system cannot find the file \"x\" specified)"));
    EXPECT_EQ(m.Send(M::Request(70002, "f", R"({"filePath": "x"})")),
              M::Fail("f", R"(The system cannot find the file \"x\" specified)"));
}

TEST(ShellFunctions, CommandRepliesWhenTheQueueIsPumped)
{
    TStandInModule m;
    auto& shell = m.StandIns.Shell;
    EXPECT_EQ(m.Send(M::Request(70003, "a", R"({"workingDir": "C:\\"})")), M::Fail("a", "Missing command"));
    shell.Answer = [](const Folio::Probe::TRecordingShell::TCommand&) {
        return Folio::Platform::TCommandOutcome{true, u"\"quoted\" caf\u00e9\r\n", {}};
    };
    EXPECT_EQ(m.Send(M::Request(70003, "b", R"({"command": "echo \"quoted\""})")), "no reply");
    EXPECT_EQ(m.Module->CommandsRunning(), 1);
    shell.Join(); // the command has ended on its thread; its reply waits in the queue
    EXPECT_EQ(m.StandIns.Browser.Posted.size(), 1u);
    EXPECT_EQ(m.StandIns.Queue.Pump(), 1);
    EXPECT_EQ(m.Last(), M::Ok("b", "\"\\\"quoted\\\" caf\u00e9\\r\\n\""));
    EXPECT_EQ(m.Module->CommandsRunning(), 0);
}

TEST(ShellFunctions, CommandFieldsAndAFailureToStart)
{
    TStandInModule m;
    auto& shell = m.StandIns.Shell;
    shell.OnThread = false;
    const std::pair<std::string, bool> shows[] = {
        {"{}", false},          {R"("showWindow": true)", true}, {R"("showWindow": "true")", true},
        {R"("showWindow": "True")", false}, {R"("showWindow": 1)", false}, {R"("showWindow": null)", false},
    };
    for (const auto& [field, shown] : shows) {
        const std::string data = field == "{}" ? R"({"command": "dir"})" : R"({"command": "dir", )" + field + "}";
        m.Send(M::Request(70003, "s", data));
        m.StandIns.Queue.Pump();
        EXPECT_EQ(m.Last(), M::Ok("s", R"("ran dir\r\n")"));
        EXPECT_EQ(shell.Commands.back().ShowWindow, shown) << field;
        EXPECT_EQ(shell.Commands.back().WorkingDir, u"");
    }
    m.Send(M::Request(70003, "w", R"({"command": "missing.exe", "workingDir": "D:\\work"})"));
    m.StandIns.Queue.Pump();
    EXPECT_EQ(m.Last(), M::Fail("w", "The system cannot find the file specified"));
    EXPECT_EQ(shell.Commands.back().WorkingDir, u"D:\\work");
}

TEST(ShellFunctions, CommandEndingAfterTheModuleIsGone)
{
    TStandInModule m;
    m.Send(M::Request(70003, "a", R"({"command": "dir"})"));
    m.Module.reset();
    m.StandIns.Shell.Join();
    EXPECT_EQ(m.StandIns.Queue.Pump(), 1); // runs, finds no module and posts nothing
    EXPECT_TRUE(m.StandIns.Browser.Posted.empty());
}

TEST(ShellFunctions, WindowCaptions)
{
    TStandInModule m;
    m.StandIns.Shell.Captions = {u"Folio", u"A \"b\"", u"Folio"};
    EXPECT_EQ(m.Send(M::Request(70004, "a")), M::Ok("a", R"(["Folio","A \"b\"","Folio"])"));
    m.StandIns.Shell.Captions.clear();
    EXPECT_EQ(m.Send(M::Request(70004, "b")), M::Ok("b", "[]"));
}

TEST(SystemFunctions, PowerActionsThroughTheirPort)
{
    TStandInModule m;
    auto& power = m.StandIns.Power;
    const std::pair<int, TPowerAction> cases[] = {
        {11001, TPowerAction::Logoff}, {11002, TPowerAction::Reboot}, {11003, TPowerAction::Shutdown}};
    for (const auto& [id, action] : cases) {
        power.Outcome = {false, u"A required privilege is not held by the client"};
        EXPECT_EQ(m.Send(M::Request(id, "f")), M::Fail("f", "A required privilege is not held by the client"));
        power.Outcome = {true, {}};
        EXPECT_EQ(m.Send(M::Request(id, "t")), M::Ok("t", "true"));
        ASSERT_EQ(power.Actions.size(), 2u);
        EXPECT_EQ(power.Actions[0], action);
        EXPECT_EQ(power.Actions[1], action);
        power.Actions.clear();
    }
}

TEST(SystemFunctions, NotificationAnswers)
{
    TStandInModule m;
    auto& notifications = m.StandIns.Notifications;
    EXPECT_EQ(m.Send(M::Request(11004, "a", R"({"name": "n1", "title": "T", "body": "B"})")), M::Ok("a", "true"));
    ASSERT_EQ(notifications.Shown.size(), 1u);
    EXPECT_EQ(notifications.Shown[0].Name, u"n1");
    EXPECT_EQ(notifications.Shown[0].Title, u"T");
    EXPECT_EQ(notifications.Shown[0].Body, u"B");
    notifications.ShowAnswer = false; // Windows could not be told of the application
    EXPECT_EQ(m.Send(M::Request(11004, "b", "{}")), M::Ok("b", "false"));
    notifications.IsAvailable = false;
    EXPECT_EQ(m.Send(M::Request(11004, "c", R"({"name": "n2"})")), M::Ok("c", "false"));
    EXPECT_EQ(notifications.Shown.size(), 2u); // the unavailable service was not asked
}

TEST(SystemFunctions, ClickCarriedToTheUiThreadWithTheNameEscaped)
{
    TStandInModule m;
    const std::u16string name = u"n\"); alert(1); (\"\n";
    std::thread([&] { m.StandIns.Notifications.Click(name); }).join();
    EXPECT_TRUE(m.StandIns.Browser.Scripts.empty()); // not on the system's thread
    EXPECT_EQ(m.StandIns.Queue.Pump(), 1);
    ASSERT_EQ(m.StandIns.Browser.Scripts.size(), 1u);
    EXPECT_EQ(m.StandIns.Browser.Scripts[0], u"kiv.events.onNotificationClick(\"n\\\"); alert(1); (\\\"\\n\");");

    std::thread([&] { m.StandIns.Notifications.Click(u"late"); }).join();
    m.Module.reset(); // gone before the click reaches the user-interface thread
    std::thread([&] { m.StandIns.Notifications.Click(u"later"); }).join();
    EXPECT_EQ(m.StandIns.Queue.Pump(), 1); // "later" was never posted: the handler is gone
    EXPECT_EQ(m.StandIns.Browser.Scripts.size(), 1u);
}

TEST(SystemFunctions, ASecondStartIsPushedWithItsTextsQuoted)
{
    TStandInModule m;
    m.Module->SecondInstance({u"a", u"b c", u"\");alert(1);//\n\u2028"}, u"C:\\Users\\me");
    m.Module->SecondInstance({}, u"");
    ASSERT_EQ(m.StandIns.Browser.Scripts.size(), 2u);
    EXPECT_EQ(Folio::Shared::Utf16ToUtf8(m.StandIns.Browser.Scripts[0]),
              "kiv.events.onSecondInstance([\"a\",\"b c\",\"\\\");alert(1);\\/\\/\\n\u2028\"], "
              "\"C:\\\\Users\\\\me\");"); // U+2028 may stand in a string literal
    EXPECT_EQ(Folio::Shared::Utf16ToUtf8(m.StandIns.Browser.Scripts[1]), R"(kiv.events.onSecondInstance([], "");)");
}
