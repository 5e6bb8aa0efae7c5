// The notification table: replacing under a name, and dismissals and clicks of a
// replaced notification that must not touch the newer one.
#include "platform/NotificationTable.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

struct Toast {
    int Id = 0;
};

struct Entry {
    const Toast* Shown = nullptr;
    const void* Identity() const { return Shown; }
};

} // namespace

TEST(NotificationTable, ReplacedEntriesLeaveTheNewerAlone)
{
    Folio::Platform::TNotificationTable<Entry> table;
    const Toast first{1}, second{2};
    EXPECT_EQ(table.Put(u"n", {&first}).Shown, nullptr);
    EXPECT_EQ(table.Put(u"n", {&second}).Shown, &first); // handed back for release
    EXPECT_FALSE(table.IsCurrent(u"n", &first));         // its click reports nothing
    EXPECT_TRUE(table.IsCurrent(u"n", &second));
    EXPECT_FALSE(table.TakeIfCurrent(u"n", &first));     // a late dismissal of the old one
    EXPECT_TRUE(table.IsCurrent(u"n", &second));
    EXPECT_FALSE(table.TakeIfCurrent(u"other", &second));
    const auto taken = table.TakeIfCurrent(u"n", &second);
    ASSERT_TRUE(taken);
    EXPECT_EQ(taken->Shown, &second);
    EXPECT_EQ(table.Size(), 0u);
}

TEST(NotificationTable, DismissalsFromManyThreads)
{
    Folio::Platform::TNotificationTable<Entry> table;
    std::vector<Toast> toasts(64);
    for (size_t i = 0; i < toasts.size(); ++i) {
        table.Put(u"n" + std::u16string(1, static_cast<char16_t>(u'A' + i)), {&toasts[i]});
    }
    std::vector<std::thread> threads;
    for (size_t i = 0; i < toasts.size(); ++i) {
        threads.emplace_back([&, i] {
            EXPECT_TRUE(table.TakeIfCurrent(u"n" + std::u16string(1, static_cast<char16_t>(u'A' + i)), &toasts[i]));
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    EXPECT_EQ(table.Size(), 0u);
}
