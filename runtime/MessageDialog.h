// The message dialog's decisions, apart from any window: which buttons it shows in
// which order, their captions and modal results, and which button Enter and Escape
// press. The Win32 dialog builds its window from this plan.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Folio::Runtime {

enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };

// In the dialog's fixed left-to-right order.
enum class TMsgDlgBtn { mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll, mbNoToAll, mbYesToAll,
                        mbHelp, mbClose };

class TMsgDlgButtons {
public:
    TMsgDlgButtons() = default;
    TMsgDlgButtons(std::initializer_list<TMsgDlgBtn> buttons)
    {
        for (const auto b : buttons) {
            FBits |= Bit(b);
        }
    }
    bool Contains(TMsgDlgBtn b) const { return (FBits & Bit(b)) != 0; }

private:
    static uint32_t Bit(TMsgDlgBtn b) { return 1u << static_cast<unsigned>(b); }
    uint32_t FBits = 0;
};

// Modal results.
constexpr int mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5, mrYes = 6, mrNo = 7,
              mrClose = 8, mrHelp = 9, mrAll = 12, mrNoToAll = 13, mrYesToAll = 14;

struct TDialogButton {
    TMsgDlgBtn Kind;
    int ModalResult;
    std::u16string Caption;
};

struct TDialogPlan {
    std::vector<TDialogButton> Buttons; // left to right as shown
    int DefaultButton = -1;             // index pressed by Enter, -1 for none
    int EscapeButton = -1;              // index pressed by Escape, -1 for none
};

// The plan for a button set: standard captions replaced in order by `captions` (extra
// captions are ignored, missing ones keep the standard text); right to left reverses
// the order shown.
TDialogPlan PlanDialog(TMsgDlgButtons buttons, const std::vector<std::u16string>& captions, bool rightToLeft = false);

// The modal result of closing the dialog by its close box.
constexpr int kCloseBoxResult = mrCancel;

} // namespace Folio::Runtime
