// Host stand-ins for the shell, power, notification, registry and UI-queue ports: an
// in-memory registry hive, a shell and a power switch that record what they were asked,
// a notification service whose clicks the test raises from any thread, and a queue
// that runs its work only when pumped.
#pragma once

#include "platform/Notifications.h"
#include "platform/Power.h"
#include "platform/Registry.h"
#include "platform/Shell.h"
#include "platform/UiQueue.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace Folio::Probe {

class TPumpedQueue final : public Platform::TUiQueue {
public:
    void Post(std::function<void()> work) override
    {
        {
            std::lock_guard lock(FMutex);
            FWork.push_back(std::move(work));
        }
        FPosted.notify_all();
    }
    // Runs what has been posted so far; how many ran.
    int Pump()
    {
        std::deque<std::function<void()>> work;
        {
            std::lock_guard lock(FMutex);
            work.swap(FWork);
        }
        for (auto& w : work) {
            w();
        }
        return static_cast<int>(work.size());
    }
    // Waits until something is posted, then runs it.
    int WaitAndPump()
    {
        {
            std::unique_lock lock(FMutex);
            FPosted.wait(lock, [this] { return !FWork.empty(); });
        }
        return Pump();
    }

private:
    std::mutex FMutex;
    std::condition_variable FPosted;
    std::deque<std::function<void()>> FWork;
};

// Registry keys compare without letter case, as Windows compares them.
class TMemoryRegistry final : public Platform::TRegistry {
public:
    struct TValue {
        bool IsText = true;
        std::u16string Text;
    };
    std::map<std::u16string, std::map<std::u16string, TValue>> Keys; // by lower-case path

    static std::u16string Fold(std::u16string s)
    {
        std::transform(s.begin(), s.end(), s.begin(),
                       [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; });
        return s;
    }
    Platform::TRegistryWrite WriteString(const std::u16string& key, const std::u16string& name,
                                         const std::u16string& value) override
    {
        const auto path = Fold(key);
        for (size_t at = path.find(u'\\'); at != std::u16string::npos; at = path.find(u'\\', at + 1)) {
            Keys[path.substr(0, at)]; // the parents
        }
        Keys[path][name] = {true, value};
        return Platform::TRegistryWrite::Written;
    }
    Platform::TRegistryValue ReadString(const std::u16string& key, const std::u16string& name) override
    {
        const auto* value = Find(key, name);
        if (!value || (value->IsText && value->Text.empty())) {
            return {};
        }
        if (!value->IsText) {
            return {Platform::TRegistryRead::NotText, {}};
        }
        return {Platform::TRegistryRead::Text, value->Text.substr(0, value->Text.find(u'\0'))};
    }
    bool ValueExists(const std::u16string& key, const std::u16string& name) override { return Find(key, name); }
    bool DeleteValue(const std::u16string& key, const std::u16string& name) override
    {
        const auto it = Keys.find(Fold(key));
        return it != Keys.end() && it->second.erase(name) > 0;
    }
    bool KeyExists(const std::u16string& key) override { return Keys.count(Fold(key)) > 0; }
    bool DeleteKey(const std::u16string& key) override
    {
        const auto path = Fold(key);
        if (Keys.erase(path) == 0) {
            return false;
        }
        std::erase_if(Keys, [&](const auto& entry) { return entry.first.starts_with(path + u"\\"); });
        return true;
    }

private:
    const TValue* Find(const std::u16string& key, const std::u16string& name) const
    {
        const auto it = Keys.find(Fold(key));
        if (it == Keys.end()) {
            return nullptr;
        }
        const auto value = it->second.find(name);
        return value == it->second.end() ? nullptr : &value->second;
    }
};

class TRecordingShell final : public Platform::TShell {
public:
    struct TCommand {
        std::u16string Command, WorkingDir;
        bool ShowWindow = false;
    };
    std::vector<std::pair<std::u16string, std::u16string>> Executed; // file, arguments
    std::vector<std::u16string> Explored;
    std::vector<TCommand> Commands;
    std::vector<std::u16string> Captions{u"Folio", u"Untitled - Notepad", u"Folio"};
    Platform::TSystemOutcome Outcome{true, {}};
    // What a command prints; a command naming "missing.exe" cannot start.
    std::function<Platform::TCommandOutcome(const TCommand&)> Answer = [](const TCommand& c) {
        if (c.Command.find(u"missing.exe") != std::u16string::npos) {
            return Platform::TCommandOutcome{false, {}, u"The system cannot find the file specified"};
        }
        return Platform::TCommandOutcome{true, u"ran " + c.Command + u"\r\n", {}};
    };
    bool OnThread = true; // answer from a thread of its own, as the real shell does

    ~TRecordingShell() override { Join(); }
    void Join()
    {
        for (auto& t : FThreads) {
            t.join();
        }
        FThreads.clear();
    }
    Platform::TSystemOutcome Execute(const std::u16string& filePath, const std::u16string& arguments) override
    {
        Executed.emplace_back(filePath, arguments);
        return Outcome;
    }
    Platform::TSystemOutcome Explore(const std::u16string& filePath) override
    {
        Explored.push_back(filePath);
        return Outcome;
    }
    std::vector<std::u16string> WindowCaptions() override { return Captions; }
    void RunCommand(const std::u16string& command, const std::u16string& workingDir, bool showWindow,
                    std::function<void(Platform::TCommandOutcome)> done) override
    {
        Commands.push_back({command, workingDir, showWindow});
        auto outcome = Answer(Commands.back());
        if (OnThread) {
            FThreads.emplace_back([done = std::move(done), outcome]() mutable { done(std::move(outcome)); });
        } else {
            done(std::move(outcome));
        }
    }

private:
    std::vector<std::thread> FThreads;
};

class TRecordingPower final : public Platform::TPower {
public:
    std::vector<Platform::TPowerAction> Actions;
    Platform::TSystemOutcome Outcome{false, u"A required privilege is not held by the client"};
    Platform::TSystemOutcome Exit(Platform::TPowerAction action) override
    {
        Actions.push_back(action);
        return Outcome;
    }
};

class TRecordingNotifications final : public Platform::TNotifications {
public:
    struct TShown {
        std::u16string Name, Title, Body;
    };
    bool IsAvailable = true;
    bool ShowAnswer = true;
    std::vector<TShown> Shown;

    bool Available() override { return IsAvailable; }
    bool Show(const std::u16string& name, const std::u16string& title, const std::u16string& body) override
    {
        Shown.push_back({name, title, body});
        return ShowAnswer;
    }
    void SetClickHandler(TClickHandler handler) override
    {
        std::lock_guard lock(FMutex);
        FHandler = std::move(handler);
    }
    // A click as the system reports it, from whichever thread calls this.
    void Click(const std::u16string& name)
    {
        std::lock_guard lock(FMutex);
        if (FHandler) {
            FHandler(name);
        }
    }

private:
    std::mutex FMutex;
    TClickHandler FHandler;
};

} // namespace Folio::Probe
