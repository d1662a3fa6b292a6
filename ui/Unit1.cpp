#include "ui/Unit1.h"

#include "classlib/FileStream.h"
#include "classlib/ResourceStream.h"
#include "classlib/ShiftJis.h"
#include "install/InstallLocation.h"
#include "payload/PackedStream.h"
#include "payload/UpdateSet.h"
#include "ui/Unit3.h"

TForm1* Form1 = nullptr;
std::string InstallDir = "";

namespace {

constexpr TPublished<TForm1>::TField Fields[] = {
    PublishedField<&TForm1::Image1>("Image1"),
    PublishedField<&TForm1::Button1>("Button1"),
    PublishedField<&TForm1::Button3>("Button3"),
};
constexpr TPublished<TForm1>::THandler Handlers[] = {
    {"FormShow", &TForm1::FormShow},         {"FormCreate", &TForm1::FormCreate},
    {"Button3Click", &TForm1::Button3Click}, {"Button1Click", &TForm1::Button1Click},
    {"Button4Click", &TForm1::Button4Click},
};
constexpr TPublished<TForm1> Published{Fields, Handlers};

struct TBannerLine {
    int Y;
    const char* Text;
};
const TBannerLine BannerLines[] = {
    {10, "『ソラヴィエ』を"},
    {30, "お買い求めいただき、まことにありがとうございます。"},
    {50, "このたびは、製品の不具合により、お客様各位に多大なご迷惑を"},
    {70, "おかけしましたこと、深くお詫び申し上げます。"},
    {95, "本プログラムは製品の不具合を修正するものです。"},
    {130, "[アップデート開始] ボタンで自動的にアップデートを開始します。"},
};

} // namespace

TForm1::TForm1(TComponent* AOwner) : TForm(AOwner) {
    LoadLayout(*this, "TFORM1", Published);
}

void TForm1::FormCreate(TObject*) {
    // Signed division truncating toward zero: a screen narrower than the window gives a
    // negative position only from two pixels short on.
    SetLeft((Screen->Width() - Width()) / 2);
    SetTop((Screen->Height() - Height()) / 2);
    InstallDir = ReadInstallLocation();
}

void TForm1::PaintBanner() {
    const int h = Image1->Height();
    const int w = Image1->Width();
    TCanvas& canvas = Image1->Canvas();
    for (int i = 0; i < h; ++i) {
        canvas.Brush().SetColor(((h - i) * 255 / h) << 16);
        canvas.FillRect({0, i, w, i + 1});
    }
    canvas.Brush().SetStyle(TBrushStyle::bsClear);
    canvas.Font().SetHeight(16);
    canvas.Font().SetColor(0xFFFFFF);
    for (const auto& line : BannerLines)
        canvas.TextOut(10, line.Y, line.Text);
}

void TForm1::FormShow(TObject*) {
    PaintBanner();
    if (InstallDir == "") {
        Application->MessageBox(
            "インストール情報がみつかりません。先に製品のインストールを行ってください。", "ご注意",
            0);
        Close();
    }
}

void TForm1::Button1Click(TObject*) {
    // Disabled before anything is let through, so that no second update and no exit can start
    // while this one runs.
    Button1->SetEnabled(false);
    Button3->SetEnabled(false);
    Application->ProcessMessages();
    ApplyUpdateSet(InstallDir);
    MessageDlg("アップデート完了しました", mtInformation, mbOK, 0);
    Close();
}

void TForm1::Button3Click(TObject*) {
    Close();
}

void TForm1::Button4Click(TObject*) {
    // Whatever the dialog records takes effect at the next start: InstallDir stays as read.
    Form3->ShowModal();
}

bool TForm1::ExtractPayload(std::string ResName, std::string TargetPath) {
    // The source first: a missing resource must not touch the target.
    TResourceStream source(HInstance(), ResName, RT_RCDATA);
    TReplacementFileStream target(TargetPath);
    DecodePackedStream(source, target);
    target.Commit();
    return true;
}

void TForm1::ApplyUpdateSet(const std::string& Folder) {
    // A record without its trailing separator still means the folder itself, never a file
    // beside it named after it.
    for (const auto& entry : UpdateSet)
        ExtractPayload(entry.ResourceName, JoinPath(Folder, entry.FileName));
}
