// The stand-in browser's scenario: one command a line, parsed once when the runtime
// creates an environment. Portable, so the grammar has one reading everywhere; the
// names of the WebView2 enumerations that scenarios and log lines use live here too.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Folio::Standin {

enum class ECommand { Request, Message, Title, Close, NewWindow, Permission, ProcessFailed, OnScript, Wait, WaitReply,
                       Follow };

// The creation steps a scenario can make fail, in the order the runtime meets them.
enum class EFailStep { EnvironmentCall, Environment, Controller, WebView, Settings };
inline constexpr int FailStepCount = 5;

struct TStep {
    ECommand Command = ECommand::Close;
    int Line = 0;               // 1-based line of the scenario file
    std::u16string Uri;         // request, new-window, permission, follow: the URI; message, on-script: the source
    std::u16string Text;        // message, on-script: the JSON; title: the title
    std::u16string Match;       // on-script: the text the runtime's script must contain
    int32_t Kind = 0;           // request: resource context; permission, process-failed: the kind
    std::u16string Range;       // request-range: the request's "Range" header
    uint32_t Milliseconds = 0;  // wait, wait-reply
};

struct TScenario {
    std::vector<TStep> Steps;
    std::optional<int32_t> Failures[FailStepCount]; // HRESULT per EFailStep
    std::vector<std::string> Errors;                // "line N: ..." for each line not understood

    std::optional<int32_t> Failure(EFailStep step) const { return Failures[static_cast<int>(step)]; }
};

// Lines that cannot be read are left out and reported in Errors; the rest still runs.
// A file split by "next-environment" lines holds one section per environment the
// runtime creates, in order: `environment` (0 for the first) picks the section, and
// environments past the last section play nothing. A file without such lines is the
// scenario of every environment.
TScenario ParseScenario(std::string_view text, size_t environment = 0);

// Names used in scenario files and log lines; a value without a name reads as its number.
std::string ResourceContextName(int32_t context);
std::string PermissionKindName(int32_t kind);
std::string PermissionStateName(int32_t state);
std::string ProcessFailedKindName(int32_t kind);
std::string FailStepName(EFailStep step);

} // namespace Folio::Standin
