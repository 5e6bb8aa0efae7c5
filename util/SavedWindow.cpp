// The saved window place (see SavedWindow.h).
#include "util/SavedWindow.h"

#include <algorithm>
#include <charconv>
#include <vector>

namespace Folio::Shared {

std::string FormatSavedWindow(const TSavedWindow& window)
{
    const TWindowRect& r = window.Normal;
    return "window 1 " + std::to_string(r.Left) + " " + std::to_string(r.Top) + " " + std::to_string(r.Right) + " " +
           std::to_string(r.Bottom) + " " + (window.Maximized ? "1" : "0") + "\n";
}

std::optional<TSavedWindow> ParseSavedWindow(std::string_view text)
{
    if (text.ends_with('\n')) {
        text.remove_suffix(1);
    }
    if (!text.starts_with("window 1 ") || text.size() > 128 || text.ends_with(' ')) {
        return std::nullopt;
    }
    text.remove_prefix(9);
    std::vector<int> numbers;
    for (;;) {
        const size_t end = std::min(text.find(' '), text.size());
        const std::string_view word = text.substr(0, end);
        int value = 0;
        const auto [rest, error] = std::from_chars(word.data(), word.data() + word.size(), value);
        if (word.empty() || error != std::errc() || rest != word.data() + word.size() ||
            value < -kMostWindowCoordinate || value > kMostWindowCoordinate) {
            return std::nullopt;
        }
        numbers.push_back(value);
        if (end == text.size()) {
            break;
        }
        text.remove_prefix(end + 1);
    }
    if (numbers.size() != 5 || (numbers[4] != 0 && numbers[4] != 1)) {
        return std::nullopt;
    }
    TSavedWindow window{{numbers[0], numbers[1], numbers[2], numbers[3]}, numbers[4] == 1};
    const TWindowRect& r = window.Normal;
    if (r.Width() < 1 || r.Height() < 1 || r.Width() > kMostWindowCoordinate || r.Height() > kMostWindowCoordinate) {
        return std::nullopt;
    }
    return window;
}

TWindowRect KeepOnArea(TWindowRect window, TWindowRect area)
{
    // The top strip, where the caption is: enough of it on the area leaves the window be.
    const int seenWide = std::min(window.Right, area.Right) - std::max(window.Left, area.Left);
    const int seenTall = std::min(window.Top + kGrip, area.Bottom) - std::max(window.Top, area.Top);
    const bool fits = window.Width() <= area.Width() && window.Height() <= area.Height();
    if (fits && seenWide >= std::min(kGrip, window.Width()) && seenTall >= std::min(kGrip, window.Height())) {
        return window;
    }
    const int width = std::min(window.Width(), area.Width());
    const int height = std::min(window.Height(), area.Height());
    const int left = std::clamp(window.Left, area.Left, area.Right - width);
    const int top = std::clamp(window.Top, area.Top, area.Bottom - height);
    return {left, top, left + width, top + height};
}

} // namespace Folio::Shared
