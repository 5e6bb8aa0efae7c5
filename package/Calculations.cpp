// The package password routine (see Calculations.h).
#include "package/Calculations.h"

#include <vector>

namespace Folio::Shared {

std::u16string CalculateWidth(std::u16string_view Text, std::u16string_view Key)
{
    std::vector<int> shifts;
    shifts.reserve(Key.size());
    for (const char16_t c : Key) {
        if (c < u'A' || c > u'Z') {
            throw ECalculationError("Invalid character in CalculateWidth key.");
        }
        shifts.push_back(c - u'A');
    }
    if (shifts.empty()) {
        // No key position to use; the same error as a bad key rather than a division by zero.
        throw ECalculationError("Invalid character in CalculateWidth key.");
    }

    std::u16string out(Text);
    for (size_t i = 0; i < out.size(); ++i) {
        const int s = shifts[i % shifts.size()];
        const char16_t c = out[i];
        if (c >= u'A' && c <= u'Z') {
            out[i] = static_cast<char16_t>(u'A' + (c - u'A' - s + 26) % 26);
        } else if (c >= u'a' && c <= u'z') {
            out[i] = static_cast<char16_t>(u'a' + (c - u'a' - s + 26) % 26);
        }
    }
    return out;
}

std::u16string PackagePassword() { return CalculateWidth(PackageWidthText, PackageWidthKey); }

} // namespace Folio::Shared
