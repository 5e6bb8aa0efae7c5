// The messages the runtime shows before the web application runs, in the user's
// language (English, Spanish, Italian, German, French, Chinese), and the dialog that
// shows them with buttons captioned in the same language.
#pragma once

#include "runtime/MessageDialog.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace Folio::Runtime {

class EMessageIndexError : public std::out_of_range {
public:
    EMessageIndexError() : std::out_of_range("MessageIndex is out of range!") {}
};

constexpr int kMessageCount = 10; // entry 0 of a row is its language code

// The user's language (the platform's GetLocaleInfoW answer), asked anew on each call.
std::u16string GetUserLanguageCode();
// Entry `index` of the row of `languageCode` (exact, case-sensitive), else of English.
std::u16string LocalizedMessageFor(int index, const std::u16string& languageCode);
// Entry `index` in the user's language; EMessageIndexError outside 0 to 9.
std::u16string LocalizedMessage(int index);

// A modal message dialog: the kind's icon, the text, the buttons in their fixed order
// with the given captions; returns the modal result (6 Yes, 2 Cancel or close box, ...).
int ShowLocalizedDialog(const std::u16string& Text, TMsgDlgType Kind, TMsgDlgButtons Buttons,
                        const std::u16string& Caption, const std::vector<std::u16string>& ButtonCaptions);

} // namespace Folio::Runtime
