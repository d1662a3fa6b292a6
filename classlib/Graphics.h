// Colours, fonts, brushes, the canvas that draws with them, and TBitmap, a bitmap with its own
// canvas. Win32 only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "classlib/Handles.h"

// 0x00BBGGRR, or a system colour: the high bit set and the GetSysColor index below it.
using TColor = std::int32_t;

constexpr TColor SystemColor(int Index) {
    return static_cast<TColor>(0x80000000u | static_cast<std::uint32_t>(Index));
}
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clBtnFace = SystemColor(COLOR_BTNFACE);
inline constexpr TColor clWindowText = SystemColor(COLOR_WINDOWTEXT);
inline constexpr TColor clWindow = SystemColor(COLOR_WINDOW);

COLORREF ColorToRGB(TColor Color);
// The colour named by an identifier ("clBtnFace"); false when there is no such name.
bool IdentToColor(const std::string& Name, TColor& Color);

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = unsigned;
bool IdentToCharset(const std::string& Name, std::uint8_t& Charset);

// A logical font: its description, and the HFONT made from it on first use. Any change drops
// the HFONT and tells OnChange.
class TFont {
public:
    TFont();
    TFont(const TFont&) = delete;
    TFont& operator=(const TFont&) = delete;

    const std::string& Name() const { return FName; }
    int Height() const { return FHeight; }
    TColor Color() const { return FColor; }
    std::uint8_t Charset() const { return FCharset; }
    TFontStyles Style() const { return FStyle; }
    void SetName(const std::string& Name);
    void SetHeight(int Height);
    void SetColor(TColor Color);
    void SetCharset(std::uint8_t Charset);
    void SetStyle(TFontStyles Style);

    HFONT Handle();
    std::function<void()> OnChange;

private:
    void Changed();

    std::string FName;
    int FHeight;
    TColor FColor;
    std::uint8_t FCharset;
    TFontStyles FStyle = 0;
    TFontHandle FHandle;
};

enum class TBrushStyle { bsSolid, bsClear };

class TBrush {
public:
    TBrush() = default;
    TBrush(const TBrush&) = delete;
    TBrush& operator=(const TBrush&) = delete;

    TColor Color() const { return FColor; }
    TBrushStyle Style() const { return FStyle; }
    void SetColor(TColor Color);
    void SetStyle(TBrushStyle Style);

    // The stock null brush for bsClear: filling with it paints nothing.
    HBRUSH Handle();

private:
    TColor FColor = clWhite;
    TBrushStyle FStyle = TBrushStyle::bsSolid;
    TBrushHandle FHandle;
};

struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
};

// Draws on a DC it does not own, with its own brush and font. OnChange follows every drawing.
class TCanvas {
public:
    explicit TCanvas(HDC DC) : FDC(DC) {}
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    TBrush& Brush() { return FBrush; }
    TFont& Font() { return FFont; }
    HDC Handle() const { return FDC; }

    // Right and bottom are exclusive.
    void FillRect(const TRect& Rect);
    // X, Y is the top left of the text; with a clear brush the background shows through.
    void TextOut(int X, int Y, const std::string& Text);

    std::function<void()> OnChange;

private:
    void Changed();

    HDC FDC;
    TBrush FBrush;
    TFont FFont;
};

// A 32-bit top-down bitmap selected into a memory DC of its own, with a canvas on it.
class TBitmap {
public:
    TBitmap(int Width, int Height);
    ~TBitmap();
    TBitmap(const TBitmap&) = delete;
    TBitmap& operator=(const TBitmap&) = delete;

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    TCanvas& Canvas() { return *FCanvas; }
    // Copies the bitmap to DC at X, Y.
    void Draw(HDC DC, int X, int Y) const;

private:
    int FWidth;
    int FHeight;
    TMemoryDCHandle FDC;
    TBitmapHandle FBitmap;
    HGDIOBJ FOldBitmap = nullptr;
    std::unique_ptr<TCanvas> FCanvas;
};
