// TForm3, the install folder dialog: the user points the updater at the game's folder, which is
// recorded when it holds the game's data file. Shown only by TForm1::Button4Click.
#pragma once

#include "classlib/Forms.h"

class TForm3 : public TForm {
public:
    explicit TForm3(TComponent* AOwner);

    // Published: bound by name to the layout "TFORM3".
    TLabel* Label1 = nullptr;
    TLabel* Label2 = nullptr;
    TButton* Button2 = nullptr;
    TButton* Button3 = nullptr;
    TLabel* Label6 = nullptr;
    void FormShow(TObject* Sender);
    void Button2Click(TObject* Sender);
    void Button3Click(TObject* Sender);
};

extern TForm3* Form3;
