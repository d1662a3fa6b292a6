#include "classlib/DirectoryChooser.h"

#include <windows.h>

#include <algorithm>
#include <exception>
#include <vector>

#include "classlib/Dialogs.h"
#include "classlib/FileSystem.h"
#include "classlib/Messages.h"
#include "classlib/Win32Text.h"

namespace {

enum : WORD {
    IdName = 100,
    IdPath = 101,
    IdFolders = 102,
    IdFiles = 103,
    IdDrives = 104,
    IdHelp = 105,
};

THelpHandler HelpHandler = nullptr;

// An in-memory dialog template: DLGTEMPLATE, then its DLGITEMTEMPLATEs, each DWORD-aligned.
class TDialogTemplate {
public:
    TDialogTemplate(const std::wstring& Caption, short Cx, short Cy) {
        DLGTEMPLATE t{};
        t.style = DS_MODALFRAME | DS_CENTER | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU;
        t.cx = Cx;
        t.cy = Cy;
        Append(&t, sizeof t);
        Word(0); // no menu
        Word(0); // the standard dialog class
        Text(Caption);
        Word(9); // point size, then the face
        Text(ToWide("ＭＳ Ｐゴシック"));
    }

    void Add(WORD Id, WORD Class, DWORD Style, short X, short Y, short Cx, short Cy,
             const std::wstring& Text_ = L"") {
        Align();
        DLGITEMTEMPLATE item{};
        item.style = Style | WS_CHILD | WS_VISIBLE;
        item.x = X;
        item.y = Y;
        item.cx = Cx;
        item.cy = Cy;
        item.id = Id;
        Append(&item, sizeof item);
        Word(0xFFFF);
        Word(Class);
        Text(Text_);
        Word(0); // no creation data
        ++Count();
    }

    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(FData.data()); }

private:
    WORD& Count() { return reinterpret_cast<DLGTEMPLATE*>(FData.data())->cdit; }
    void Append(const void* P, std::size_t N) {
        const auto* b = static_cast<const WORD*>(P);
        FData.insert(FData.end(), b, b + N / sizeof(WORD));
    }
    void Word(WORD W) { FData.push_back(W); }
    void Text(const std::wstring& S) {
        FData.insert(FData.end(), S.begin(), S.end());
        Word(0);
    }
    void Align() {
        if (FData.size() % 2)
            Word(0);
    }
    // WORD storage keeps the whole template WORD-aligned; Align() pads to DWORDs.
    std::vector<WORD> FData;
};

constexpr WORD ButtonClass = 0x0080, EditClass = 0x0081, StaticClass = 0x0082,
               ListBoxClass = 0x0083, ComboBoxClass = 0x0085;

struct TChooser {
    std::wstring Current; // the folder shown, full path
    TSelectDirOpts Options = 0;
    int HelpCtx = 0;
    std::string Result;
    std::exception_ptr Error;

    void Open(HWND Dlg, std::wstring Folder);
    void FillDrives(HWND Dlg);
    void OnOk(HWND Dlg);
};

std::wstring FullPath(const std::wstring& Path) {
    wchar_t buf[MAX_PATH * 2];
    const DWORD n = GetFullPathNameW(Path.c_str(), MAX_PATH * 2, buf, nullptr);
    return n && n < MAX_PATH * 2 ? std::wstring(buf, n) : Path;
}

void TChooser::Open(HWND Dlg, std::wstring Folder) {
    Folder = FullPath(Folder);
    const DWORD a = GetFileAttributesW(Folder.c_str());
    if (a == INVALID_FILE_ATTRIBUTES || !(a & FILE_ATTRIBUTE_DIRECTORY))
        return;
    if (Folder.size() > 3 && Folder.back() == L'\\')
        Folder.pop_back();
    Current = Folder;
    SetDlgItemTextW(Dlg, IdPath, Current.c_str());
    SetDlgItemTextW(Dlg, IdName, Current.c_str());

    std::vector<std::wstring> folders, files;
    WIN32_FIND_DATAW found;
    const std::wstring pattern = Current + (Current.back() == L'\\' ? L"*" : L"\\*");
    HANDLE h = FindFirstFileW(pattern.c_str(), &found);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L".")
                continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                folders.push_back(name);
            else
                files.push_back(name);
        } while (FindNextFileW(h, &found));
        FindClose(h);
    }
    std::sort(folders.begin(), folders.end());
    std::sort(files.begin(), files.end());
    // A root has no "..": offer it only below one.
    if (Current.size() > 3 && std::find(folders.begin(), folders.end(), L"..") == folders.end())
        folders.insert(folders.begin(), L"..");
    if (Current.size() <= 3)
        folders.erase(std::remove(folders.begin(), folders.end(), L".."), folders.end());

    for (const auto& [id, list] : {std::pair{IdFolders, &folders}, std::pair{IdFiles, &files}}) {
        SendDlgItemMessageW(Dlg, id, LB_RESETCONTENT, 0, 0);
        for (const auto& name : *list)
            SendDlgItemMessageW(Dlg, id, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    }
    const wchar_t drive[] = {static_cast<wchar_t>(towupper(Current[0])), L':', 0};
    SendDlgItemMessageW(Dlg, IdDrives, CB_SELECTSTRING, WPARAM(-1),
                        reinterpret_cast<LPARAM>(drive));
}

void TChooser::FillDrives(HWND Dlg) {
    const DWORD drives = GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
        if (!(drives & (1u << i)))
            continue;
        const wchar_t name[] = {static_cast<wchar_t>(L'A' + i), L':', 0};
        SendDlgItemMessageW(Dlg, IdDrives, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    }
}

void TChooser::OnOk(HWND Dlg) {
    wchar_t buf[MAX_PATH * 2] = {};
    GetDlgItemTextW(Dlg, IdName, buf, MAX_PATH * 2);
    const std::string text = FromWide(buf, wcslen(buf));
    if ((Options & sdPrompt) && !DirectoryExists(text) &&
        MessageDlg(Messages::SConfirmCreateDir, mtConfirmation, mbYes | mbNo, 0) != mrYes)
        return; // back to the chooser
    Result = text;
    EndDialog(Dlg, IDOK);
}

INT_PTR CALLBACK ChooserProc(HWND Dlg, UINT Msg, WPARAM W, LPARAM L) {
    auto* self = reinterpret_cast<TChooser*>(GetWindowLongPtrW(Dlg, DWLP_USER));
    try {
        switch (Msg) {
        case WM_INITDIALOG:
            self = reinterpret_cast<TChooser*>(L);
            SetWindowLongPtrW(Dlg, DWLP_USER, L);
            SendDlgItemMessageW(Dlg, IdName, EM_SETREADONLY, !(self->Options & sdAllowCreate), 0);
            if (!self->HelpCtx)
                ShowWindow(GetDlgItem(Dlg, IdHelp), SW_HIDE);
            self->FillDrives(Dlg);
            self->Open(Dlg, self->Current);
            return TRUE;
        case WM_COMMAND:
            if (!self)
                return FALSE;
            switch (LOWORD(W)) {
            case IDOK:
                self->OnOk(Dlg);
                return TRUE;
            case IDCANCEL:
                EndDialog(Dlg, IDCANCEL);
                return TRUE;
            case IdHelp:
                if (HelpHandler)
                    HelpHandler(self->HelpCtx);
                return TRUE;
            case IdFolders:
                if (HIWORD(W) == LBN_DBLCLK) {
                    const auto sel = SendDlgItemMessageW(Dlg, IdFolders, LB_GETCURSEL, 0, 0);
                    wchar_t name[MAX_PATH] = {};
                    if (sel >= 0 && SendDlgItemMessageW(Dlg, IdFolders, LB_GETTEXTLEN, WPARAM(sel),
                                                        0) < MAX_PATH) {
                        SendDlgItemMessageW(Dlg, IdFolders, LB_GETTEXT, WPARAM(sel),
                                            reinterpret_cast<LPARAM>(name));
                        const std::wstring sep = self->Current.back() == L'\\' ? L"" : L"\\";
                        self->Open(Dlg, self->Current + sep + name);
                    }
                }
                return TRUE;
            case IdDrives:
                if (HIWORD(W) == CBN_SELCHANGE) {
                    wchar_t drive[8] = {};
                    const auto sel = SendDlgItemMessageW(Dlg, IdDrives, CB_GETCURSEL, 0, 0);
                    if (sel >= 0 &&
                        SendDlgItemMessageW(Dlg, IdDrives, CB_GETLBTEXTLEN, WPARAM(sel), 0) < 4) {
                        SendDlgItemMessageW(Dlg, IdDrives, CB_GETLBTEXT, WPARAM(sel),
                                            reinterpret_cast<LPARAM>(drive));
                        // "C:" alone is that drive's current folder, as a user would expect.
                        self->Open(Dlg, drive);
                    }
                }
                return TRUE;
            }
            return FALSE;
        }
    } catch (...) {
        // Nothing may unwind through the dialog manager: carry it out of the modal loop.
        if (self && !self->Error)
            self->Error = std::current_exception();
        EndDialog(Dlg, IDABORT);
        return TRUE;
    }
    return FALSE;
}

} // namespace

void SetHelpHandler(THelpHandler Handler) {
    HelpHandler = Handler;
}

bool SelectDirectory(std::string& Directory, TSelectDirOpts Options, int HelpCtx) {
    TChooser chooser;
    chooser.Options = Options;
    chooser.HelpCtx = HelpCtx;
    if (Directory.empty()) {
        wchar_t cwd[MAX_PATH * 2] = {};
        GetCurrentDirectoryW(MAX_PATH * 2, cwd);
        chooser.Current = cwd;
    } else {
        chooser.Current = ToWide(Directory);
    }

    TDialogTemplate t(ToWide(Messages::SSelectDirCaption), 250, 170);
    const DWORD tab = WS_TABSTOP;
    t.Add(0xFFFF, StaticClass, SS_LEFT, 7, 6, 236, 9, ToWide("ディレクトリ名(&N):"));
    t.Add(IdName, EditClass, ES_AUTOHSCROLL | WS_BORDER | tab, 7, 16, 236, 12);
    t.Add(0xFFFF, StaticClass, SS_LEFT, 7, 34, 115, 9, ToWide("ディレクトリ(&D):"));
    t.Add(IdPath, StaticClass, SS_LEFT | SS_PATHELLIPSIS, 7, 44, 236, 9);
    t.Add(IdFolders, ListBoxClass, LBS_NOTIFY | WS_VSCROLL | WS_BORDER | tab, 7, 56, 115, 76);
    t.Add(0xFFFF, StaticClass, SS_LEFT, 128, 34, 115, 9, ToWide("ファイル(&F):"));
    t.Add(IdFiles, ListBoxClass, LBS_NOSEL | WS_VSCROLL | WS_BORDER | tab, 128, 56, 115, 76);
    t.Add(0xFFFF, StaticClass, SS_LEFT, 7, 136, 60, 9, ToWide("ドライブ(&V):"));
    t.Add(IdDrives, ComboBoxClass, CBS_DROPDOWNLIST | WS_VSCROLL | tab, 7, 147, 115, 100);
    t.Add(IDOK, ButtonClass, BS_DEFPUSHBUTTON | tab, 128, 147, 36, 15, L"OK");
    t.Add(IDCANCEL, ButtonClass, BS_PUSHBUTTON | tab, 167, 147, 38, 15, ToWide("キャンセル"));
    t.Add(IdHelp, ButtonClass, BS_PUSHBUTTON | tab, 208, 147, 35, 15, ToWide("ヘルプ(&H)"));

    HWND owner = GetActiveWindow();
    const INT_PTR r = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), t.Get(), owner,
                                              ChooserProc, reinterpret_cast<LPARAM>(&chooser));
    if (chooser.Error)
        std::rethrow_exception(chooser.Error);
    if (r != IDOK)
        return false;
    if ((Options & sdPerformCreate) && !DirectoryExists(chooser.Result))
        ForceDirectories(chooser.Result); // raises only for an empty name
    Directory = chooser.Result;
    return true;
}
