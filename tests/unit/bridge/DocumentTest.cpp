// Replies and pushed events go to the document that made the call, never to the one
// that took its place: a page that navigates away while a dialog is up, a command runs
// or a menu it made stays in the window gets nothing more of it.
#include "tests/unit/bridge/StandInModule.h"

#include <gtest/gtest.h>

using FolioTest::TStandInModule;
using M = TStandInModule;

TEST(ReplyTarget, AReplyFindingAnotherDocumentIsDropped)
{
    TStandInModule m;
    auto& browser = m.StandIns.Browser;
    // The page leaves while the dialog's loop runs: the chosen path must not reach the next page.
    m.StandIns.Dialogs.Answers = {u"C:\\secret.txt"};
    m.StandIns.Dialogs.WhileOpen = [&] { ++browser.Document; };
    EXPECT_EQ(m.Send(M::Request(20001, "a", R"({"title": "t"})")), "no reply");
    // The same document still there: the reply goes out.
    m.StandIns.Dialogs.WhileOpen = nullptr;
    m.StandIns.Dialogs.Answers = {u"C:\\mine.txt"};
    EXPECT_EQ(m.Send(M::Request(20001, "b", R"({"title": "t"})")), M::Ok("b", R"("C:\\mine.txt")"));
}

TEST(ReplyTarget, ACommandEndingAfterANavigationIsNotReported)
{
    TStandInModule m;
    auto& browser = m.StandIns.Browser;
    m.Send(M::Request(70003, "gone", R"({"command": "dir"})"));
    m.Send(M::Request(70003, "here", R"({"command": "dir"})"));
    m.StandIns.Shell.Join();
    ++browser.Document; // a new document (the first command's page left) ...
    m.Send(M::Request(70003, "new", R"({"command": "ver"})"));
    m.StandIns.Shell.Join();
    EXPECT_EQ(m.StandIns.Queue.Pump(), 3);
    // ... gets only the reply of its own command.
    ASSERT_EQ(browser.Posted.size(), 1u);
    EXPECT_EQ(m.Last(), M::Ok("new", R"("ran ver\r\n")"));
    EXPECT_EQ(m.Module->CommandsRunning(), 0);
}

TEST(ReplyTarget, ClicksGoToTheDocumentThatMadeTheMenuIconOrNotification)
{
    TStandInModule m;
    auto& browser = m.StandIns.Browser;
    auto& menus = m.StandIns.Menus;
    ASSERT_EQ(m.Send(M::Request(12001, "a", R"({"items": "[{\"id\": 1, \"caption\": \"Open\"}]"})")), M::Ok("a", "true"));
    ASSERT_EQ(m.Send(M::Request(14003, "b", R"({"items": "[{\"id\": 2, \"caption\": \"Quit\"}]"})")), M::Ok("b", "true"));
    ASSERT_EQ(m.Send(M::Request(14001, "c")), M::Ok("c", "true"));
    ASSERT_EQ(m.Send(M::Request(11004, "d", R"({"name": "n", "title": "t", "body": "b"})")), M::Ok("d", "true"));

    const auto clickAll = [&] {
        browser.Scripts.clear();
        menus.OnItemClick(Folio::Platform::TMenuKind::Main, 1);
        menus.OnItemClick(Folio::Platform::TMenuKind::Tray, 2);
        menus.OnTrayIconClick();
        m.StandIns.Notifications.Click(u"n");
        m.StandIns.Queue.Pump();
        return browser.Scripts.size();
    };
    EXPECT_EQ(clickAll(), 4u);
    ++browser.Document;
    EXPECT_EQ(clickAll(), 0u) << "the page that made them has gone";
    // The new page makes a main menu of its own: its clicks are its own, the rest stay silent.
    ASSERT_EQ(m.Send(M::Request(12001, "e", R"({"items": "[{\"id\": 3, \"caption\": \"Edit\"}]"})")), M::Ok("e", "true"));
    EXPECT_EQ(clickAll(), 1u);
    EXPECT_EQ(browser.Scripts[0], u"kiv.events.onMainMenuItemClick(\"1\");");
}
