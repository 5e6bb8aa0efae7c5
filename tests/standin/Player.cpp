// Plays the scenario on the UI thread, one step at a time: each step goes on from the
// message loop (a posted call, a timer or the end of a request), never by blocking it.
#include "tests/standin/EventArgs.h"
#include "tests/standin/Log.h"
#include "tests/standin/WebView.h"

namespace Folio::Standin {

namespace {

const char* CommandName(ECommand command)
{
    switch (command) {
    case ECommand::Request: return "request";
    case ECommand::Message: return "message";
    case ECommand::Title: return "title";
    case ECommand::Close: return "close";
    case ECommand::NewWindow: return "new-window";
    case ECommand::Permission: return "permission";
    case ECommand::ProcessFailed: return "process-failed";
    case ECommand::OnScript: return "on-script";
    case ECommand::Wait: return "wait";
    case ECommand::WaitReply: return "wait-reply";
    case ECommand::Follow: return "follow";
    }
    return "?";
}

} // namespace

void TWebView::Next()
{
    const auto& steps = FSession->Scenario.Steps;
    if (FClosed || FNextStep >= steps.size()) {
        if (FNextStep != static_cast<size_t>(-1)) {
            TLogLine("scenario-done").Bool("completed", FNextStep >= steps.size()).Write();
            FNextStep = static_cast<size_t>(-1); // done once
        }
        return;
    }
    const TStep& step = steps[FNextStep++];
    TLogLine("step").Num("line", step.Line).Str("command", CommandName(step.Command)).Write();
    try {
        RunStep(step);
    } catch (...) {
        LogError("scenario step failed");
    }
}

void TWebView::RunStep(const TStep& step)
{
    ComPtr<TWebView> self(this);
    const auto goOn = [self] { self->FQueue->Post([self] { self->Next(); }); };
    switch (step.Command) {
    case ECommand::Request:
        Request(step.Uri, static_cast<COREWEBVIEW2_WEB_RESOURCE_CONTEXT>(step.Kind),
                [goOn](bool, const TServed&) { goOn(); }, step.Range);
        return;
    case ECommand::Message:
        FReplies = 0;
        RaiseWebMessage(step.Uri, step.Text);
        break;
    case ECommand::Title:
        ChangeTitle(step.Text);
        break;
    case ECommand::Close:
        // As a click on the close box of the window that holds the browser.
        PostMessageW(GetAncestor(FParent, GA_ROOT), WM_CLOSE, 0, 0);
        break;
    case ECommand::NewWindow: {
        auto gate = std::make_shared<TDeferralGate>(FQueue);
        auto args = MakeObject<TNewWindowRequestedArgs>(step.Uri, gate);
        FNewWindowRequested.Raise(this, args.Get());
        gate->AfterHandlers([args, uri = step.Uri, goOn] {
            TLogLine("new-window").Str("uri", uri).Bool("handled", args->Handled()).Write();
            goOn();
        });
        return;
    }
    case ECommand::Permission: {
        auto gate = std::make_shared<TDeferralGate>(FQueue);
        auto args = MakeObject<TPermissionRequestedArgs>(step.Uri, static_cast<COREWEBVIEW2_PERMISSION_KIND>(step.Kind), gate);
        FPermissionRequested.Raise(this, args.Get());
        gate->AfterHandlers([args, step, goOn] {
            TLogLine("permission")
                .Str("kind", PermissionKindName(step.Kind))
                .Str("uri", step.Uri)
                .Str("state", PermissionStateName(args->State()))
                .Write();
            goOn();
        });
        return;
    }
    case ECommand::ProcessFailed:
        TLogLine("process-failed").Str("kind", ProcessFailedKindName(step.Kind)).Write();
        FProcessFailed.Raise(this, MakeObject<TProcessFailedArgs>(static_cast<COREWEBVIEW2_PROCESS_FAILED_KIND>(step.Kind)).Get());
        break;
    case ECommand::OnScript:
        FAnswers.push_back({step.Match, step.Uri, step.Text});
        break;
    case ECommand::Follow:
        // The page itself leaves for another document, as a followed link does.
        if (FRelay) {
            FRelay->Send(TRelayMessage("navigate").Str("url", step.Uri).Text());
            break;
        }
        RunNavigation(step.Uri, ++FNavigationId, goOn);
        return;
    case ECommand::Wait:
        FQueue->After(step.Milliseconds, [self] { self->Next(); });
        return;
    case ECommand::WaitReply: {
        if (FReplies > 0) {
            break;
        }
        const int wait = FWaitingReply = ++FWaits;
        FQueue->After(step.Milliseconds, [self, wait, line = step.Line] {
            if (self->FWaitingReply == wait) {
                self->FWaitingReply = 0;
                TLogLine("timeout").Num("line", line).Str("command", "wait-reply").Write();
                self->Next();
            }
        });
        return;
    }
    }
    goOn();
}

// A reply ends a pending wait-reply at once; otherwise it counts for the next one.
void TWebView::ReplyArrived()
{
    ++FReplies;
    if (FWaitingReply != 0) {
        FWaitingReply = 0;
        ComPtr<TWebView> self(this);
        FQueue->Post([self] { self->Next(); });
    }
}

} // namespace Folio::Standin
