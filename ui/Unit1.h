// TForm1, the updater's main window: the banner, the start and exit buttons, and the update it
// drives; InstallDir, the install folder read while the window is created.
#pragma once

#include <string>

#include "classlib/Forms.h"

class TForm1 : public TForm {
public:
    explicit TForm1(TComponent* AOwner);

    // Published: bound by name to the layout "TFORM1".
    TImage* Image1 = nullptr;
    TButton* Button1 = nullptr;
    TButton* Button3 = nullptr;
    void FormShow(TObject* Sender);
    void FormCreate(TObject* Sender);
    void Button3Click(TObject* Sender);
    void Button1Click(TObject* Sender);
    // No control of the layout is bound to it.
    void Button4Click(TObject* Sender);

private:
    void PaintBanner();
    // Decodes the RCDATA resource ResName over the file TargetPath, which is replaced whole or
    // left as it was. Depends on its arguments alone. Returns true; failures raise.
    static bool ExtractPayload(std::string ResName, std::string TargetPath);
    // Every entry of UpdateSet, in order, into Folder; the first failure stops it.
    static void ApplyUpdateSet(const std::string& Folder);

    friend struct TForm1TestAccess;
};

extern TForm1* Form1;
// The install folder as recorded, trailing separator included; "" until FormCreate reads it.
extern std::string InstallDir;
