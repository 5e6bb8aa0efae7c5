// The message table and its selection (see LocalizedMessages.h).
#include "runtime/LocalizedMessages.h"

#include "platform/Locale.h"

#include <array>

namespace Folio::Runtime {

namespace {

using Row = std::array<std::u16string_view, kMessageCount>;

constexpr Row kEnglish = {
    u"en",
    u"Error",
    u"Confirm",
    u"Accept",
    u"Cancel",
    u"This is not a valid Windows application.",
    u"The Microsoft WebView2 runtime is required to run this application. This application cannot continue and "
    u"will be closed now.",
    u"The Microsoft WebView2 runtime is required to run this application. Do you want to install it now?",
    u"This application cannot continue and will be closed now.",
    u"You cancel the installation of Microsoft WebView2 runtime, This application cannot continue and will be closed "
    u"now.",
};

// Searched in this order; the first row whose code matches is used.
constexpr Row kRows[] = {
    {
        u"es",
        u"Error",
        u"Confirmar",
        u"Aceptar",
        u"Cancelar",
        u"Esta no es una aplicaci\u00F3n de Windows v\u00E1lida.",
        u"El Microsoft WebView2 runtime es necesario para esta aplicaci\u00F3n. Esta aplicaci\u00F3n no puede "
        u"continuar y se cerrar\u00E1 ahora.",
        u"El Microsoft WebView2 runtime es necesario para esta aplicaci\u00F3n. \u00BFQuiere instalarlo ahora?",
        u"Esta aplicaci\u00F3n no puede continuar y se cerrar\u00E1 ahora.",
        u"Ha cancelado la instalaci\u00F3n de Microsoft WebView2 runtime. Esta aplicaci\u00F3n no puede continuar y "
        u"se cerrar\u00E1 ahora.",
    },
    {
        u"it",
        u"Errore",
        u"Confermare",
        u"Accettare",
        u"Annulla",
        u"Questa non \u00E8 un'applicazione Windows valida.",
        u"Il runtime di Microsoft WebView2 \u00E8 necessario per eseguire questa applicazione. Questa applicazione "
        u"non pu\u00F2 continuare e verr\u00E0 chiusa ora.",
        u"Il runtime di Microsoft WebView2 \u00E8 necessario per eseguire questa applicazione. Vuoi installarlo ora?",
        u"Questa applicazione non pu\u00F2 continuare e verr\u00E0 chiusa ora.",
        u"Annulla l'installazione del runtime di Microsoft WebView2, questa applicazione non pu\u00F2 continuare e "
        u"verr\u00E0 chiusa ora.",
    },
    {
        u"de",
        u"Error",
        u"Best\u00E4tigen",
        u"Akzeptieren",
        u"Stornieren",
        u"Dies ist keine g\u00FCltige Windows-Anwendung.",
        u"Die Microsoft WebView2-Laufzeit ist erforderlich, um diese Anwendung auszuf\u00FChren. Diese Anwendung kann "
        u"nicht fortgesetzt werden und wird jetzt geschlossen.",
        u"Die Microsoft WebView2-Laufzeit ist erforderlich, um diese Anwendung auszuf\u00FChren. M\u00F6chten Sie es "
        u"jetzt installieren?",
        u"Diese Anwendung kann nicht fortgesetzt werden und wird jetzt geschlossen.",
        u"Sie brechen die Installation der Microsoft WebView2-Laufzeit ab. Diese Anwendung kann nicht fortgesetzt "
        u"werden und wird jetzt geschlossen.",
    },
    {
        u"fr",
        u"Erreur",
        u"Confirmer",
        u"J'accepte",
        u"Annuler",
        u"Ce n'est pas une application Windows valide.",
        u"Le runtime Microsoft WebView2 est requis pour ex\u00E9cuter cette application. Cette application ne peut "
        u"pas continuer et sera ferm\u00E9e maintenant.",
        u"Le runtime Microsoft WebView2 est requis pour ex\u00E9cuter cette application. Voulez-vous l'installer "
        u"maintenant?",
        u"Cette application ne peut pas continuer et sera ferm\u00E9e maintenant.",
        u"Vous annulez l'installation du runtime Microsoft WebView2. Cette application ne peut pas continuer et sera "
        u"ferm\u00E9e maintenant.",
    },
    {
        u"zh",
        u"\u9519\u8BEF",
        u"\u786E\u8BA4",
        u"\u63A5\u53D7",
        u"\u53D6\u6D88",
        u"\u8FD9\u4E0D\u662F\u6709\u6548\u7684Windows\u5E94\u7528\u7A0B\u5E8F\u3002",
        u"\u8FD0\u884C\u6B64\u5E94\u7528\u7A0B\u5E8F\u9700\u8981Microsoft WebView2\u8FD0\u884C\u65F6\u3002 "
        u"\u8BE5\u5E94\u7528\u7A0B\u5E8F\u65E0\u6CD5\u7EE7\u7EED\uFF0C\u5C06\u7ACB\u5373\u5173\u95ED\u3002",
        u"\u8FD0\u884C\u6B64\u5E94\u7528\u7A0B\u5E8F\u9700\u8981Microsoft WebView2\u8FD0\u884C\u65F6\u3002 "
        u"\u60A8\u8981\u7ACB\u5373\u5B89\u88C5\u5417\uFF1F",
        u"\u6B64\u5E94\u7528\u7A0B\u5E8F\u65E0\u6CD5\u7EE7\u7EED\uFF0C\u5C06\u7ACB\u5373\u5173\u95ED\u3002",
        u"\u60A8\u53D6\u6D88\u4E86Microsoft WebView2\u8FD0\u884C\u65F6\u7684\u5B89\u88C5\uFF0C"
        u"\u6B64\u5E94\u7528\u7A0B\u5E8F\u65E0\u6CD5\u7EE7\u7EED\uFF0C\u5C06\u7ACB\u5373\u5173\u95ED\u3002",
    },
};

} // namespace

std::u16string GetUserLanguageCode() { return Platform::UserLanguageCode(); }

std::u16string LocalizedMessageFor(int index, const std::u16string& languageCode)
{
    if (index < 0 || index >= kMessageCount) {
        throw EMessageIndexError();
    }
    for (const Row& row : kRows) {
        if (row[0] == languageCode) {
            return std::u16string(row[static_cast<size_t>(index)]);
        }
    }
    return std::u16string(kEnglish[static_cast<size_t>(index)]);
}

std::u16string LocalizedMessage(int index)
{
    if (index < 0 || index >= kMessageCount) {
        throw EMessageIndexError();
    }
    return LocalizedMessageFor(index, GetUserLanguageCode());
}

} // namespace Folio::Runtime
