// The text rules of the page's functions, apart from any system: paths the page gives,
// command lines, zoom factors, base64, the lines of a text file, dialog file types.
#pragma once

#include "platform/FileDialogs.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Folio::Bridge {

// A path with a drive part ("C:", "\\server") as it is; any other with "/" made "\" and
// the executable's folder (ending with a separator) put in front.
std::u16string ResolvePagePath(std::u16string_view path, std::u16string_view exeDir);
// The same, made in place: a path read into a kept buffer is resolved without another.
void ResolvePagePathInPlace(std::u16string& path, std::u16string_view exeDir);

// The arguments of a command line after the program name: blanks (the space and the
// control characters) separate, double quotes group and are removed, and empty "" pairs
// at the start of an argument are skipped.
std::vector<std::u16string> SplitCommandLine(std::u16string_view commandLine);

// A number with "." as the decimal separator, whatever the locale; nothing otherwise.
std::optional<double> ParseZoomFactor(std::u16string_view text);
// Up to 15 significant digits in the general format, with the given decimal separator.
std::u16string FormatZoomFactor(double factor, char16_t decimalSeparator);

// Base64 (standard alphabet) by whole groups of four: leftovers are ignored, "=" at the
// end of the last group drops one or two bytes; characters outside the alphabet count 0.
std::string DecodeBase64(std::u16string_view text);

// The bytes of a text file: UTF-8 byte order mark, then each line in UTF-8 ending with
// CR LF. Lines end at CR LF, CR or LF; a final line end starts no new line; the text
// ends at its first U+0000.
std::string TextFileBytes(std::u16string_view contents);

// "Name|*.ext;Other|*.x": the entries of exactly two parts, in order.
std::vector<Platform::TFileType> ParseFileTypes(std::u16string_view text);

// The folder part of a path, without its last separator; empty when it has none.
std::u16string FolderOf(std::u16string_view path);

} // namespace Folio::Bridge
