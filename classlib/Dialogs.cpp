#include "classlib/Dialogs.h"

#include "classlib/Forms.h"

namespace {

struct TButtonSet {
    TMsgDlgButtons Buttons;
    UINT Flags;
};

// The button sets the system's message box can show, with their layout. With OK alone, and
// with a Cancel button, Esc closes the box.
const TButtonSet ButtonSets[] = {
    {mbOK, MB_OK},
    {mbOK | mbCancel, MB_OKCANCEL},
    {mbYes | mbNo, MB_YESNO},
    {mbYes | mbNo | mbCancel, MB_YESNOCANCEL},
    {mbRetry | mbCancel, MB_RETRYCANCEL},
    {mbAbort | mbRetry | mbIgnore, MB_ABORTRETRYIGNORE},
};

} // namespace

int MessageDlg(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, int HelpCtx) {
    (void)HelpCtx;
    const TMsgDlgButtons withoutHelp = Buttons.Without(mbHelp);
    UINT flags = 0;
    bool found = false;
    for (const auto& s : ButtonSets)
        if (s.Buttons == withoutHelp) {
            flags = s.Flags;
            found = true;
        }
    if (!found)
        throw Exception("このボタンの組み合わせは表示できません");
    if (Buttons.Contains(mbHelp))
        flags |= MB_HELP;

    std::string caption;
    switch (DlgType) {
    case mtWarning:
        caption = "警告";
        flags |= MB_ICONWARNING;
        break;
    case mtError:
        caption = "エラー";
        flags |= MB_ICONERROR;
        break;
    case mtInformation:
        caption = "情報";
        flags |= MB_ICONINFORMATION;
        break;
    case mtConfirmation:
        caption = "確認";
        flags |= MB_ICONQUESTION;
        break;
    case mtCustom:
        caption = Application->Title();
        break;
    }
    // The box's identifiers are the modal results.
    return Application->MessageBox(Msg, caption, flags);
}
