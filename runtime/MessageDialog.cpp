// The message dialog's plan (see MessageDialog.h).
#include "runtime/MessageDialog.h"

#include <algorithm>

namespace Folio::Runtime {

namespace {

struct Standard {
    TMsgDlgBtn Kind;
    int Result;
    const char16_t* Caption;
};

constexpr Standard kStandard[] = {
    {TMsgDlgBtn::mbYes, mrYes, u"&Yes"},
    {TMsgDlgBtn::mbNo, mrNo, u"&No"},
    {TMsgDlgBtn::mbOK, mrOk, u"OK"},
    {TMsgDlgBtn::mbCancel, mrCancel, u"Cancel"},
    {TMsgDlgBtn::mbAbort, mrAbort, u"&Abort"},
    {TMsgDlgBtn::mbRetry, mrRetry, u"&Retry"},
    {TMsgDlgBtn::mbIgnore, mrIgnore, u"&Ignore"},
    {TMsgDlgBtn::mbAll, mrAll, u"&All"},
    {TMsgDlgBtn::mbNoToAll, mrNoToAll, u"N&o to All"},
    {TMsgDlgBtn::mbYesToAll, mrYesToAll, u"Yes to &All"},
    {TMsgDlgBtn::mbHelp, mrHelp, u"&Help"},
    {TMsgDlgBtn::mbClose, mrClose, u"&Close"},
};

int IndexOf(const TDialogPlan& plan, TMsgDlgBtn kind)
{
    for (size_t i = 0; i < plan.Buttons.size(); ++i) {
        if (plan.Buttons[i].Kind == kind) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int FirstOf(const TDialogPlan& plan, std::initializer_list<TMsgDlgBtn> kinds)
{
    for (const auto kind : kinds) {
        if (const int i = IndexOf(plan, kind); i >= 0) {
            return i;
        }
    }
    return -1;
}

} // namespace

TDialogPlan PlanDialog(TMsgDlgButtons buttons, const std::vector<std::u16string>& captions, bool rightToLeft)
{
    TDialogPlan plan;
    for (const auto& s : kStandard) {
        if (buttons.Contains(s.Kind)) {
            plan.Buttons.push_back({s.Kind, s.Result, s.Caption});
        }
    }
    // Captions go to the buttons in their order, before any mirroring.
    for (size_t i = 0; i < plan.Buttons.size() && i < captions.size(); ++i) {
        plan.Buttons[i].Caption = captions[i];
    }
    if (rightToLeft) {
        std::reverse(plan.Buttons.begin(), plan.Buttons.end());
    }
    plan.DefaultButton = FirstOf(plan, {TMsgDlgBtn::mbOK, TMsgDlgBtn::mbYes, TMsgDlgBtn::mbRetry});
    plan.EscapeButton = FirstOf(plan, {TMsgDlgBtn::mbCancel, TMsgDlgBtn::mbNo, TMsgDlgBtn::mbOK});
    return plan;
}

} // namespace Folio::Runtime
