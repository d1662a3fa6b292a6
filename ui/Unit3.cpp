#include "ui/Unit3.h"

#include "classlib/DirectoryChooser.h"
#include "classlib/FileSystem.h"
#include "install/InstallLocation.h"

TForm3* Form3 = nullptr;

namespace {

constexpr TPublished<TForm3>::TField Fields[] = {
    PublishedField<&TForm3::Label1>("Label1"),   PublishedField<&TForm3::Label2>("Label2"),
    PublishedField<&TForm3::Button2>("Button2"), PublishedField<&TForm3::Button3>("Button3"),
    PublishedField<&TForm3::Label6>("Label6"),
};
constexpr TPublished<TForm3>::THandler Handlers[] = {
    {"FormShow", &TForm3::FormShow},
    {"Button2Click", &TForm3::Button2Click},
    {"Button3Click", &TForm3::Button3Click},
};
constexpr TPublished<TForm3> Published{Fields, Handlers};

// The game's data file: its presence is what tells the game's folder from any other.
constexpr const char* DataFileName = "mg_data.mbl";

} // namespace

TForm3::TForm3(TComponent* AOwner) : TForm(AOwner) {
    LoadLayout(*this, "TFORM3", Published);
}

void TForm3::FormShow(TObject*) {
    // On every showing: the screen may have changed since the last one.
    SetLeft((Screen->Width() - Width()) / 2);
    SetTop((Screen->Height() - Height()) / 2);
}

void TForm3::Button2Click(TObject*) {
    std::string folder = "";
    if (!SelectDirectory(folder, sdAllowCreate | sdPerformCreate | sdPrompt, 1000))
        return;
    // The text as the chooser gave it: a name the user typed ending in "\" stays so.
    if (!FileExists(folder + "\\" + DataFileName))
        return;
    WriteInstallLocation(folder + "\\");
    Close();
}

void TForm3::Button3Click(TObject*) {
    Close();
}
