#include "classlib/Graphics.h"

#include "classlib/Exceptions.h"
#include "classlib/Win32Text.h"

COLORREF ColorToRGB(TColor Color) {
    const auto bits = static_cast<std::uint32_t>(Color);
    if (bits & 0x80000000u)
        return GetSysColor(static_cast<int>(bits & 0xFFu));
    return bits & 0x00FFFFFFu;
}

namespace {
struct TNamedColor {
    const char* Name;
    TColor Color;
};
const TNamedColor NamedColors[] = {
    {"clBlack", clBlack},     {"clWhite", clWhite},   {"clBlue", clBlue},
    {"clBtnFace", clBtnFace}, {"clWindow", clWindow}, {"clWindowText", clWindowText},
};

struct TNamedCharset {
    const char* Name;
    std::uint8_t Charset;
};
const TNamedCharset NamedCharsets[] = {
    {"ANSI_CHARSET", ANSI_CHARSET},
    {"DEFAULT_CHARSET", DEFAULT_CHARSET},
    {"SHIFTJIS_CHARSET", SHIFTJIS_CHARSET},
};
} // namespace

bool IdentToColor(const std::string& Name, TColor& Color) {
    for (const auto& c : NamedColors)
        if (Name == c.Name) {
            Color = c.Color;
            return true;
        }
    return false;
}

bool IdentToCharset(const std::string& Name, std::uint8_t& Charset) {
    for (const auto& c : NamedCharsets)
        if (Name == c.Name) {
            Charset = c.Charset;
            return true;
        }
    return false;
}

// The default face is the Japanese proportional gothic; where it is missing, the system's font
// mapper picks another face of the Shift-JIS character set, so Japanese text still renders.
TFont::TFont()
    : FName("ＭＳ Ｐゴシック"), FHeight(-12), FColor(clWindowText), FCharset(SHIFTJIS_CHARSET) {}

void TFont::Changed() {
    FHandle.Reset();
    if (OnChange)
        OnChange();
}
void TFont::SetName(const std::string& Name) {
    FName = Name;
    Changed();
}
void TFont::SetHeight(int Height) {
    FHeight = Height;
    Changed();
}
void TFont::SetColor(TColor Color) {
    FColor = Color;
    Changed();
}
void TFont::SetCharset(std::uint8_t Charset) {
    FCharset = Charset;
    Changed();
}
void TFont::SetStyle(TFontStyles Style) {
    FStyle = Style;
    Changed();
}

HFONT TFont::Handle() {
    if (!FHandle) {
        LOGFONTW lf{};
        lf.lfHeight = FHeight;
        lf.lfWeight = (FStyle & fsBold) ? FW_BOLD : FW_NORMAL;
        lf.lfItalic = (FStyle & fsItalic) ? 1 : 0;
        lf.lfUnderline = (FStyle & fsUnderline) ? 1 : 0;
        lf.lfStrikeOut = (FStyle & fsStrikeOut) ? 1 : 0;
        lf.lfCharSet = FCharset;
        lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
        lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
        lf.lfQuality = DEFAULT_QUALITY;
        lf.lfPitchAndFamily = DEFAULT_PITCH;
        const std::wstring face = ToWide(FName);
        face.copy(lf.lfFaceName, LF_FACESIZE - 1);
        FHandle.Reset(CreateFontIndirectW(&lf));
        if (!FHandle)
            throw EOutOfMemory();
    }
    return FHandle.Get();
}

void TBrush::SetColor(TColor Color) {
    FColor = Color;
    FHandle.Reset();
}
void TBrush::SetStyle(TBrushStyle Style) {
    FStyle = Style;
    FHandle.Reset();
}

HBRUSH TBrush::Handle() {
    if (FStyle == TBrushStyle::bsClear)
        return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    if (!FHandle) {
        FHandle.Reset(CreateSolidBrush(ColorToRGB(FColor)));
        if (!FHandle)
            throw EOutOfMemory();
    }
    return FHandle.Get();
}

void TCanvas::Changed() {
    if (OnChange)
        OnChange();
}

void TCanvas::FillRect(const TRect& Rect) {
    const RECT r{Rect.Left, Rect.Top, Rect.Right, Rect.Bottom};
    ::FillRect(FDC, &r, FBrush.Handle());
    Changed();
}

void TCanvas::TextOut(int X, int Y, const std::string& Text) {
    const std::wstring wide = ToWide(Text);
    const HGDIOBJ oldFont = SelectObject(FDC, FFont.Handle());
    SetTextColor(FDC, ColorToRGB(FFont.Color()));
    if (FBrush.Style() == TBrushStyle::bsClear) {
        SetBkMode(FDC, TRANSPARENT);
    } else {
        SetBkMode(FDC, OPAQUE);
        SetBkColor(FDC, ColorToRGB(FBrush.Color()));
    }
    ::TextOutW(FDC, X, Y, wide.data(), static_cast<int>(wide.size()));
    SelectObject(FDC, oldFont);
    Changed();
}

TBitmap::TBitmap(int Width, int Height) : FWidth(Width), FHeight(Height) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = Width > 0 ? Width : 1;
    bi.bmiHeader.biHeight = -(Height > 0 ? Height : 1); // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    FDC.Reset(CreateCompatibleDC(nullptr));
    FBitmap.Reset(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!FDC || !FBitmap)
        throw EOutOfMemory();
    FOldBitmap = SelectObject(FDC.Get(), FBitmap.Get());
    FCanvas = std::make_unique<TCanvas>(FDC.Get());
    // A new bitmap is white, as a blank picture is.
    const RECT all{0, 0, bi.bmiHeader.biWidth, -bi.bmiHeader.biHeight};
    ::FillRect(FDC.Get(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
}

TBitmap::~TBitmap() {
    // The bitmap can only be deleted once it is no longer selected into the DC.
    SelectObject(FDC.Get(), FOldBitmap);
}

void TBitmap::Draw(HDC DC, int X, int Y) const {
    BitBlt(DC, X, Y, FWidth, FHeight, FDC.Get(), 0, 0, SRCCOPY);
}
