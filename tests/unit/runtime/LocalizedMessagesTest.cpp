#include "runtime/LocalizedMessages.h"
#include "runtime/MessageDialog.h"

#include <gtest/gtest.h>

using namespace Folio::Runtime;

TEST(LocalizedMessages, RowByLanguageCode)
{
    EXPECT_EQ(LocalizedMessageFor(3, u"es"), u"Aceptar");
    EXPECT_EQ(LocalizedMessageFor(4, u"es"), u"Cancelar");
    EXPECT_EQ(LocalizedMessageFor(2, u"es"), u"Confirmar");
    EXPECT_EQ(LocalizedMessageFor(7, u"es"),
              u"El Microsoft WebView2 runtime es necesario para esta aplicaci\u00F3n. \u00BFQuiere instalarlo ahora?");
    EXPECT_EQ(LocalizedMessageFor(1, u"it"), u"Errore");
    EXPECT_EQ(LocalizedMessageFor(1, u"de"), u"Error");
    EXPECT_EQ(LocalizedMessageFor(3, u"fr"), u"J'accepte");
    EXPECT_EQ(LocalizedMessageFor(1, u"zh"), u"\u9519\u8BEF");
    EXPECT_EQ(LocalizedMessageFor(5, u"en"), u"This is not a valid Windows application.");
    for (const std::u16string other : {u"pt", u"ja", u"en", u"", u"ES", u"es-ES"}) {
        EXPECT_EQ(LocalizedMessageFor(0, other), u"en") << testing::PrintToString(other);
        EXPECT_EQ(LocalizedMessageFor(3, other), u"Accept");
    }
    for (const std::u16string code : {u"es", u"it", u"de", u"fr", u"zh"}) {
        EXPECT_EQ(LocalizedMessageFor(0, code), code);
    }
}

TEST(LocalizedMessages, IndexOutOfRange)
{
    for (const int index : {-1, 10, 1000}) {
        try {
            LocalizedMessage(index);
            ADD_FAILURE() << index;
        } catch (const EMessageIndexError& e) {
            EXPECT_STREQ(e.what(), "MessageIndex is out of range!");
        }
        EXPECT_THROW(LocalizedMessageFor(index, u"es"), std::out_of_range);
    }
}

TEST(MessageDialog, ButtonOrderCaptionsAndKeys)
{
    using B = TMsgDlgBtn;
    const auto confirm = PlanDialog({B::mbCancel, B::mbYes}, {u"Aceptar", u"Cancelar"});
    ASSERT_EQ(confirm.Buttons.size(), 2u);
    EXPECT_EQ(confirm.Buttons[0].Kind, B::mbYes);
    EXPECT_EQ(confirm.Buttons[0].Caption, u"Aceptar");
    EXPECT_EQ(confirm.Buttons[0].ModalResult, 6);
    EXPECT_EQ(confirm.Buttons[1].Caption, u"Cancelar");
    EXPECT_EQ(confirm.Buttons[1].ModalResult, 2);
    EXPECT_EQ(confirm.DefaultButton, 0);
    EXPECT_EQ(confirm.EscapeButton, 1);

    const auto error = PlanDialog({B::mbYes}, {u"Accept", u"ignored"});
    ASSERT_EQ(error.Buttons.size(), 1u);
    EXPECT_EQ(error.Buttons[0].Caption, u"Accept");
    EXPECT_EQ(error.DefaultButton, 0);
    EXPECT_EQ(error.EscapeButton, -1); // Escape does nothing

    struct Case {
        TMsgDlgButtons set;
        std::vector<B> order;
        int defaultIndex, escapeIndex;
    };
    const Case cases[] = {
        {{B::mbHelp, B::mbOK, B::mbNo, B::mbYes}, {B::mbYes, B::mbNo, B::mbOK, B::mbHelp}, 2, 1},
        {{B::mbRetry, B::mbAbort, B::mbIgnore}, {B::mbAbort, B::mbRetry, B::mbIgnore}, 1, -1},
        {{B::mbClose, B::mbAll, B::mbYesToAll, B::mbNoToAll}, {B::mbAll, B::mbNoToAll, B::mbYesToAll, B::mbClose}, -1, -1},
        {{B::mbOK, B::mbCancel}, {B::mbOK, B::mbCancel}, 0, 1},
        {{}, {}, -1, -1},
    };
    for (const auto& c : cases) {
        const auto plan = PlanDialog(c.set, {});
        std::vector<B> order;
        for (const auto& b : plan.Buttons) {
            order.push_back(b.Kind);
        }
        EXPECT_EQ(order, c.order);
        EXPECT_EQ(plan.DefaultButton, c.defaultIndex);
        EXPECT_EQ(plan.EscapeButton, c.escapeIndex);
    }
    EXPECT_EQ(PlanDialog({B::mbNo}, {}).Buttons[0].Caption, u"&No"); // standard caption kept

    const auto mirrored = PlanDialog({B::mbYes, B::mbCancel}, {u"A", u"C"}, true);
    EXPECT_EQ(mirrored.Buttons[0].Kind, B::mbCancel);
    EXPECT_EQ(mirrored.Buttons[0].Caption, u"C");
    EXPECT_EQ(mirrored.DefaultButton, 1);
    EXPECT_EQ(mirrored.EscapeButton, 0);
}

#ifndef _WIN32
#include <cstdlib>

// Away from Windows the user's language comes from the POSIX locale variables.
TEST(LocalizedMessages, LanguageFromTheEnvironmentHere)
{
    const char* saved = std::getenv("LC_ALL");
    const std::string keep = saved ? saved : "";
    setenv("LC_ALL", "es_ES.UTF-8", 1);
    EXPECT_EQ(GetUserLanguageCode(), u"es");
    EXPECT_EQ(LocalizedMessage(4), u"Cancelar");
    setenv("LC_ALL", "pt_BR.UTF-8", 1);
    EXPECT_EQ(LocalizedMessage(3), u"Accept");
    setenv("LC_ALL", "C.UTF-8", 1);
    EXPECT_EQ(GetUserLanguageCode(), u"en");
    if (saved) {
        setenv("LC_ALL", keep.c_str(), 1);
    } else {
        unsetenv("LC_ALL");
    }
}
#endif
