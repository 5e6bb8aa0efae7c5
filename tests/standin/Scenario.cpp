// Reads the scenario grammar of README.md: a command word, then its arguments separated
// by blanks; the last argument of a command takes the rest of the line as it stands.
#include "tests/standin/Scenario.h"

#include "util/TextCodecs.h"

#include <array>
#include <charconv>
#include <utility>

namespace Folio::Standin {

namespace {

using Shared::Utf8ToUtf16;

constexpr std::array<std::string_view, 17> ContextNames = {
    "all", "document", "stylesheet", "image", "media", "font", "script", "xhr", "fetch",
    "text-track", "event-source", "websocket", "manifest", "signed-exchange", "ping",
    "csp-violation-report", "other"};
constexpr std::array<std::string_view, 7> PermissionNames = {
    "unknown", "microphone", "camera", "geolocation", "notifications", "other-sensors", "clipboard-read"};
constexpr std::array<std::string_view, 3> StateNames = {"default", "allow", "deny"};
constexpr std::array<std::string_view, 10> FailedKindNames = {
    "browser-exited", "render-exited", "render-unresponsive", "frame-render-exited", "utility-exited",
    "sandbox-helper-exited", "gpu-exited", "ppapi-plugin-exited", "ppapi-broker-exited", "unknown-exited"};
constexpr std::array<std::string_view, FailStepCount> FailStepNames = {
    "environment-call", "environment", "controller", "webview", "settings"};

template <size_t N>
std::string NameOf(const std::array<std::string_view, N>& names, int32_t value)
{
    if (value >= 0 && static_cast<size_t>(value) < N) {
        return std::string(names[static_cast<size_t>(value)]);
    }
    return std::to_string(value);
}

bool ParseNumber(std::string_view text, uint32_t& value)
{
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

// A name from the table or a plain number.
template <size_t N>
bool ParseName(const std::array<std::string_view, N>& names, std::string_view word, int32_t& value)
{
    for (size_t i = 0; i < N; ++i) {
        if (names[i] == word) {
            value = static_cast<int32_t>(i);
            return true;
        }
    }
    uint32_t number = 0;
    if (!ParseNumber(word, number)) {
        return false;
    }
    value = static_cast<int32_t>(number);
    return true;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Splits off the next blank-separated word; `rest` keeps what follows, without leading blanks.
std::string_view NextWord(std::string_view& rest)
{
    size_t end = 0;
    while (end < rest.size() && !IsBlank(rest[end])) {
        ++end;
    }
    const std::string_view word = rest.substr(0, end);
    rest.remove_prefix(end);
    while (!rest.empty() && IsBlank(rest.front())) {
        rest.remove_prefix(1);
    }
    return word;
}

// Reads one command line into `step`, or into the failures (then `isStep` becomes false);
// returns an error text, empty when the line was understood.
std::string ParseLine(std::string_view command, std::string_view rest, TStep& step, bool& isStep, TScenario& scenario)
{
    const auto needRest = [&](std::string_view what) -> std::string {
        return rest.empty() ? std::string(command) + " needs " + std::string(what) : std::string();
    };
    const auto word = [&]() { return NextWord(rest); };

    if (command == "fail") {
        int32_t which = 0;
        if (!ParseName(FailStepNames, word(), which) || which < 0 || which >= FailStepCount) {
            return "fail needs a step: environment-call, environment, controller, webview or settings";
        }
        uint32_t hr = 0x80004005u; // E_FAIL
        if (!rest.empty() && !ParseNumber(word(), hr)) {
            return "fail: the HRESULT is not a number";
        }
        if (!rest.empty()) {
            return "fail: too many arguments";
        }
        scenario.Failures[which] = static_cast<int32_t>(hr);
        isStep = false;
        return {};
    }
    if (command == "request") {
        step.Command = ECommand::Request;
        step.Kind = 16; // other
        if (auto e = needRest("a URL"); !e.empty()) {
            return e;
        }
        step.Uri = Utf8ToUtf16(word());
        if (!rest.empty() && (!ParseName(ContextNames, word(), step.Kind) || !rest.empty())) {
            return "request: unknown resource context";
        }
        return {};
    }
    if (command == "request-range") {
        step.Command = ECommand::Request;
        step.Kind = 4; // media, as a <video> asks
        step.Uri = Utf8ToUtf16(word());
        step.Range = Utf8ToUtf16(rest);
        return step.Range.empty() ? "request-range needs a URL and a Range header" : std::string();
    }
    if (command == "message" || command == "on-script") {
        const bool onScript = command == "on-script";
        step.Command = onScript ? ECommand::OnScript : ECommand::Message;
        if (onScript) {
            step.Match = Utf8ToUtf16(word());
        }
        step.Uri = Utf8ToUtf16(word());
        step.Text = Utf8ToUtf16(rest);
        return step.Text.empty() ? std::string(command) + (onScript ? " needs a text, a source and a JSON message"
                                                                    : " needs a source and a JSON message")
                                 : std::string();
    }
    if (command == "title") {
        step.Command = ECommand::Title;
        step.Text = Utf8ToUtf16(rest);
        return {};
    }
    if (command == "close") {
        step.Command = ECommand::Close;
        return rest.empty() ? std::string() : "close takes no arguments";
    }
    if (command == "new-window") {
        step.Command = ECommand::NewWindow;
        step.Uri = Utf8ToUtf16(rest);
        return needRest("a URI");
    }
    if (command == "follow") {
        step.Command = ECommand::Follow;
        step.Uri = Utf8ToUtf16(rest);
        return needRest("a URL");
    }
    if (command == "permission") {
        step.Command = ECommand::Permission;
        if (!ParseName(PermissionNames, word(), step.Kind)) {
            return "permission: unknown kind";
        }
        step.Uri = Utf8ToUtf16(rest);
        return needRest("a URI");
    }
    if (command == "process-failed") {
        step.Command = ECommand::ProcessFailed;
        if (!ParseName(FailedKindNames, word(), step.Kind) || !rest.empty()) {
            return "process-failed: unknown kind";
        }
        return {};
    }
    if (command == "wait" || command == "wait-reply") {
        step.Command = command == "wait" ? ECommand::Wait : ECommand::WaitReply;
        if (!ParseNumber(word(), step.Milliseconds) || !rest.empty()) {
            return std::string(command) + " needs milliseconds";
        }
        return {};
    }
    return "unknown command " + std::string(command);
}

} // namespace

TScenario ParseScenario(std::string_view text, size_t environment)
{
    const std::string_view whole = text;
    TScenario scenario;
    int lineNumber = 0;
    size_t section = 0;
    bool sectioned = false;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        while (!line.empty() && IsBlank(line.front())) {
            line.remove_prefix(1);
        }
        if (lineNumber == 1 && line.substr(0, 3) == "\xEF\xBB\xBF") {
            line.remove_prefix(3);
        }
        if (line.empty() || line.front() == '#') {
            continue;
        }
        const std::string_view command = NextWord(line);
        if (command == "next-environment") {
            ++section;
            sectioned = true;
            continue;
        }
        if (section != environment) {
            continue;
        }
        TStep step;
        step.Line = lineNumber;
        bool isStep = true;
        const std::string error = ParseLine(command, line, step, isStep, scenario);
        if (!error.empty()) {
            scenario.Errors.push_back("line " + std::to_string(lineNumber) + ": " + error);
        } else if (isStep) {
            scenario.Steps.push_back(std::move(step));
        }
    }
    if (!sectioned && environment != 0) {
        return ParseScenario(whole, 0);
    }
    return scenario;
}

std::string ResourceContextName(int32_t context) { return NameOf(ContextNames, context); }
std::string PermissionKindName(int32_t kind) { return NameOf(PermissionNames, kind); }
std::string PermissionStateName(int32_t state) { return NameOf(StateNames, state); }
std::string ProcessFailedKindName(int32_t kind) { return NameOf(FailedKindNames, kind); }
std::string FailStepName(EFailStep step) { return NameOf(FailStepNames, static_cast<int32_t>(step)); }

} // namespace Folio::Standin
