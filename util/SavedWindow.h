// The main window's place as it is kept between runs ([App] RememberWindow=1): its
// normal bounds and whether it was maximised, as one line of text in the app's own
// per-user folder. What is read back may be damaged or written by anyone, so it is
// checked, and a place off every screen is brought back.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace Folio::Shared {

struct TWindowRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool operator==(const TWindowRect&) const = default;
};

struct TSavedWindow {
    TWindowRect Normal;
    bool Maximized = false;
};

// No coordinate beyond this, and no side shorter than 1 or longer than this.
constexpr int kMostWindowCoordinate = 100000;

// "window 1 LEFT TOP RIGHT BOTTOM MAXIMIZED\n", MAXIMIZED 0 or 1.
std::string FormatSavedWindow(const TSavedWindow& window);

// Nothing unless the text is exactly such a line (the line break may be missing) with
// every number in bounds.
std::optional<TSavedWindow> ParseSavedWindow(std::string_view text);

// The window kept on a work area: one larger than the area, or that shows less than a
// grip of itself there (its top strip, kGrip pixels each way), is moved, and shrunk
// when larger, to lie within it.
constexpr int kGrip = 48;
TWindowRect KeepOnArea(TWindowRect window, TWindowRect area);

} // namespace Folio::Shared
