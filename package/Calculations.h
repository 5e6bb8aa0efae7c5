// The package password. The runtime and the packer hold the same two strings and
// build the password from them at every start; the password itself is stored nowhere.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace Folio::Shared {

class ECalculationError : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

// Vigenere decryption over A-Z and a-z with case kept; every other character stays
// but still uses up its key position. The key must be non-empty capital letters A-Z,
// else ECalculationError("Invalid character in CalculateWidth key.") is raised.
std::u16string CalculateWidth(std::u16string_view Text, std::u16string_view Key);

// The two stored strings: a 26-character text and a 21-letter key.
inline constexpr std::u16string_view PackageWidthText = u"Xk7#vRq2-Hb9Tz!wLm4Pe_Gs8Y";
inline constexpr std::u16string_view PackageWidthKey = u"FOLIOPACKAGEWIDTHSEAL";

// CalculateWidth(PackageWidthText, PackageWidthKey): the password of every package.
std::u16string PackagePassword();

} // namespace Folio::Shared
