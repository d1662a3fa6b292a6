// MessageDlg: the class library's modal message dialog with a typed caption and icon and a set
// of buttons. Win32 only.
#pragma once

#include <cstdint>
#include <string>

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum TMsgDlgBtn {
    mbYes,
    mbNo,
    mbOK,
    mbCancel,
    mbAbort,
    mbRetry,
    mbIgnore,
    mbAll,
    mbNoToAll,
    mbYesToAll,
    mbHelp
};
// A set of TMsgDlgBtn: bit n stands for element n (mbOK alone is 0x0004).
class TMsgDlgButtons {
public:
    constexpr TMsgDlgButtons() = default;
    constexpr TMsgDlgButtons(TMsgDlgBtn Button) : FBits(static_cast<std::uint16_t>(1u << Button)) {}
    constexpr bool Contains(TMsgDlgBtn Button) const { return (FBits >> Button) & 1u; }
    constexpr std::uint16_t Bits() const { return FBits; }
    constexpr TMsgDlgButtons operator|(TMsgDlgButtons Other) const {
        return FromBits(static_cast<std::uint16_t>(FBits | Other.FBits));
    }
    constexpr TMsgDlgButtons Without(TMsgDlgBtn Button) const {
        return FromBits(static_cast<std::uint16_t>(FBits & ~(1u << Button)));
    }
    constexpr bool operator==(const TMsgDlgButtons&) const = default;

private:
    static constexpr TMsgDlgButtons FromBits(std::uint16_t Bits) {
        TMsgDlgButtons set;
        set.FBits = Bits;
        return set;
    }
    std::uint16_t FBits = 0;
};
constexpr TMsgDlgButtons operator|(TMsgDlgBtn A, TMsgDlgBtn B) {
    return TMsgDlgButtons(A) | B;
}

// Modal results: the identifiers of the system's dialog buttons.
inline constexpr int mrNone = 0;
inline constexpr int mrOk = 1;
inline constexpr int mrCancel = 2;
inline constexpr int mrAbort = 3;
inline constexpr int mrRetry = 4;
inline constexpr int mrIgnore = 5;
inline constexpr int mrYes = 6;
inline constexpr int mrNo = 7;

// Shows Msg in a modal dialog centred on the screen, captioned by its type ("情報" for
// mtInformation; the application title for mtCustom) with the type's system icon. The buttons
// are those of Buttons; the first of them is the default, and Esc answers with the cancelling
// one. Returns the modal result of the button pressed (mrOk, mrYes, ...). Sets of buttons the
// system dialog cannot show raise an Exception. HelpCtx is accepted and not used: the program
// has no help file.
int MessageDlg(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, int HelpCtx);
