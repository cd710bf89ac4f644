// Colours, fonts, brushes, pens and the canvas of the headless class library. Nothing is
// drawn: a canvas records every drawing call in order (what, where, which text and colour),
// and measures text with fixed metrics derived from the font height, so layouts and tests
// are the same on every machine.
#pragma once

#include "Platform/Rtl/Classes.h"
#include "Platform/Rtl/Rects.h"
#include "Platform/Win/Windows.h"

#include <vector>

namespace krx {

// ---- Colours --------------------------------------------------------------------------------

using TColor = Integer;

inline constexpr TColor clSystemColor = static_cast<TColor>(0xFF000000u);
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clMaroon = 0x000080;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clNavy = 0x800000;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clYellow = 0x00FFFF;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clNone = 0x1FFFFFFF;
inline constexpr TColor clDefault = 0x20000000;
// System colours: clSystemColor or'ed with the platform's colour index.
inline constexpr TColor clWindow = clSystemColor | 5;
inline constexpr TColor clWindowText = clSystemColor | 8;
inline constexpr TColor clHighlight = clSystemColor | 13;
inline constexpr TColor clHighlightText = clSystemColor | 14;
inline constexpr TColor clBtnFace = clSystemColor | 15;
inline constexpr TColor clGrayText = clSystemColor | 17;
inline constexpr TColor clBtnText = clSystemColor | 18;
inline constexpr TColor clInfoText = clSystemColor | 23;
inline constexpr TColor clInfoBk = clSystemColor | 24;

// The RGB value of a colour: system colours through a fixed light palette.
TColor ColorToRGB(TColor Color);

// ---- Fonts ----------------------------------------------------------------------------------

#define KRX_TFONTSTYLE(X) X(fsBold) X(fsItalic) X(fsUnderline) X(fsStrikeOut)
KRX_DECLARE_ENUM(TFontStyle, KRX_TFONTSTYLE);
using TFontStyles = EnumSet<TFontStyle>;

// A font is its name, height in pixels (negative: character height), colour and style at a
// pixel density. Size in points is derived: Size = -Height * 72 / PixelsPerInch.
class TFont : public TPersistent {
  KRX_PUBLISHED(TFont)
public:
  TFont();

  const String &Name() const { return FName; }
  void SetName(const String &Value);
  Integer Height() const { return FHeight; }
  void SetHeight(Integer Value);
  Integer Size() const;
  void SetSize(Integer Value);
  TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  TFontStyles Style() const { return FStyle; }
  void SetStyle(TFontStyles Value);
  // The density the height is measured at; changing it keeps the height (the class library
  // scales fonts explicitly).
  Integer PixelsPerInch() const { return FPixelsPerInch; }
  void SetPixelsPerInch(Integer Value) { FPixelsPerInch = Value; }

  // Copies name, colour, style and size (the height follows this font's density).
  using TPersistent::Assign;
  void Assign(const TPersistent *Source) override;
  bool Equals(const TFont &Other) const;

  TNotifyEvent OnChange;

private:
  void Changed();

  String FName;
  Integer FHeight;
  TColor FColor;
  TFontStyles FStyle;
  Integer FPixelsPerInch;
};

inline constexpr const Char *DefFontName = u"Tahoma";
inline constexpr Integer DefFontHeight = -11; // 8 points at 96 pixels per inch
inline constexpr Integer USER_DEFAULT_SCREEN_DPI = 96;

// ---- Brushes and pens -----------------------------------------------------------------------

enum TBrushStyle { bsSolid, bsClear };

class TBrush : public TPersistent {
public:
  TColor Color = clWhite;
  TBrushStyle Style = bsSolid;
};

class TPen : public TPersistent {
public:
  TColor Color = clBlack;
  Integer Width = 1;
};

// ---- Canvas ---------------------------------------------------------------------------------

enum class TCanvasOpKind { TextOut, TextRect, FillRect, FrameRect, Rectangle, Line, Image };

// One recorded drawing call. Rect is the area touched (for text: its measured extent),
// Color the brush colour for fills, the pen colour for lines and the font colour for text;
// Index the image index for images.
struct TCanvasOp {
  TCanvasOpKind Kind;
  TRect Rect;
  String Text;
  TColor Color = clNone;
  Integer Index = -1;
  TFontStyles Style; // the font's style while the operation was drawn
  Integer Underline = -1; // for text: the code unit drawn underlined (an access key), -1 none
};

class TCanvas : public TPersistent {
public:
  TCanvas() = default;

  TFont &Font() { return FFont; }
  TBrush &Brush() { return FBrush; }
  TPen &Pen() { return FPen; }

  // Text metrics: every code unit is |Height| * 6 / 11 pixels wide (one more in bold), a
  // line is |Height| * 13 / 11 pixels high (rounded), so 8-point Tahoma at 96 pixels per
  // inch gives 6 by 13.
  Integer TextWidth(StringView Text) const;
  Integer TextHeight(StringView Text) const;
  TSize TextExtent(StringView Text) const;

  // Underline: the code unit of Text drawn underlined (-1: none), as DrawTextW marks an access
  // key.
  void TextOut(Integer X, Integer Y, StringView Text, Integer Underline = -1);
  // Text clipped to Rect, drawn from X, Y.
  void TextRect(const TRect &Rect, Integer X, Integer Y, StringView Text);
  void FillRect(const TRect &Rect);
  void FrameRect(const TRect &Rect);
  void Rectangle(const TRect &Rect);
  void MoveTo(Integer X, Integer Y) { FPenPos = {X, Y}; }
  void LineTo(Integer X, Integer Y);
  // An image list's image at a place (recorded with its index and the list's name).
  void DrawImage(Integer X, Integer Y, Integer Width, Integer Height, Integer Index,
                 const String &Source);

  const std::vector<TCanvasOp> &Ops() const { return FOps; }
  void ClearOps() { FOps.clear(); }
  // Added to every recorded position: a control paints its children through it.
  TPoint Origin() const { return FOrigin; }
  void SetOrigin(TPoint Value) { FOrigin = Value; }

private:
  void Record(TCanvasOpKind Kind, TRect R, StringView Text, TColor Color, Integer Index = -1);

  TPoint FOrigin;
  TFont FFont;
  TBrush FBrush;
  TPen FPen;
  TPoint FPenPos;
  std::vector<TCanvasOp> FOps;
};

// ---- Bitmaps --------------------------------------------------------------------------------

KRX_DECLARE_EXCEPTION(EInvalidGraphic, Exception);

#define KRX_TPIXELFORMAT(X)                                                                        \
  X(pfDevice) X(pf1bit) X(pf4bit) X(pf8bit) X(pf15bit) X(pf16bit) X(pf24bit) X(pf32bit) X(pfCustom)
KRX_DECLARE_ENUM(TPixelFormat, KRX_TPIXELFORMAT);

// How a bitmap's transparent colour is chosen: tmAuto takes the colour of its bottom-left
// pixel, tmFixed the colour set.
enum TTransparentMode { tmAuto, tmFixed };

// An in-memory bitmap. Whatever its pixel format, every pixel is held as 32 bits, 0xAARRGGBB
// (the order of a 32-bit device-independent bitmap read as one word), rows from the top; the
// format records what the bitmap claims to be, and a format without alpha keeps every pixel
// opaque. Drawing on its canvas is recorded, not rasterised. Its handle names it to code that
// only passes bitmaps on (the IDE's About box and splash screen), which finds it again with
// FromHandle while it lives; a handle is never reused, so once the bitmap is freed its handle
// names nothing.
class TBitmap : public TPersistent {
public:
  TBitmap();
  TBitmap(Integer AWidth, Integer AHeight, TPixelFormat APixelFormat = pf32bit);
  ~TBitmap() override;
  TBitmap(const TBitmap &) = delete;
  TBitmap &operator=(const TBitmap &) = delete;

  Integer Width() const { return FWidth; }
  Integer Height() const { return FHeight; }
  void SetWidth(Integer Value) { SetSize(Value, FHeight); }
  void SetHeight(Integer Value) { SetSize(FWidth, Value); }
  // The pixels of the overlapping area stay; new ones are black (transparent in pf32bit).
  // A negative size, or one beyond kMaxBitmapDimension, raises EInvalidGraphic.
  void SetSize(Integer AWidth, Integer AHeight);
  bool Empty() const { return FWidth == 0 || FHeight == 0; }

  TPixelFormat PixelFormat() const { return FPixelFormat; }
  void SetPixelFormat(TPixelFormat Value);

  // A place outside the bitmap raises EInvalidGraphic.
  DWORD Pixel(Integer X, Integer Y) const;
  void SetPixel(Integer X, Integer Y, DWORD Value);
  // The pixels of row Y, Width() of them.
  DWORD *ScanLine(Integer Y);
  const DWORD *ScanLine(Integer Y) const;

  TCanvas &Canvas() { return FCanvas; }

  HBITMAP Handle() const { return FHandle; }
  // The live bitmap of a handle, nil for any other value (a freed bitmap's included).
  static TBitmap *FromHandle(HBITMAP Handle);

  // Whether the pixels of the transparent colour are to be left out where the bitmap is
  // drawn or converted.
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool Value) { FTransparent = Value; }
  // In tmAuto the colour of the bottom-left pixel (clDefault while the bitmap is empty), in
  // tmFixed the colour set; always an RGB colour (0x00BBGGRR).
  TColor TransparentColor() const;
  // Setting a colour fixes it (tmFixed); clDefault goes back to tmAuto.
  void SetTransparentColor(TColor Value);
  TTransparentMode TransparentMode() const { return FTransparentMode; }
  // tmAuto forgets the colour set; tmFixed keeps the colour the bitmap has now.
  void SetTransparentMode(TTransparentMode Value);

  // Copies size, format, pixels and transparency of another bitmap (not what its canvas
  // recorded).
  using TPersistent::Assign;
  void Assign(const TPersistent *Source) override;

private:
  std::size_t Offset(Integer X, Integer Y) const;

  HBITMAP FHandle;
  Integer FWidth = 0;
  Integer FHeight = 0;
  TPixelFormat FPixelFormat = pfDevice;
  std::vector<DWORD> FPixels;
  TCanvas FCanvas;
  bool FTransparent = false;
  TTransparentMode FTransparentMode = tmAuto;
  TColor FTransparentColor = clDefault; // clDefault in tmAuto
};

inline constexpr Integer kMaxBitmapDimension = 16384;

} // namespace krx
