#include "Platform/Vcl/Graphics.h"

#include "Platform/Win/ObjectHandles.h"

#include <mutex>
#include <unordered_map>

namespace krx {

TColor ColorToRGB(TColor Color) {
  if ((Color & clSystemColor) != clSystemColor)
    return Color & 0xFFFFFF;
  switch (Color & 0xFF) {
  case 5: // window
  case 14:
    return clWhite;
  case 8: // window text
  case 18:
  case 23:
    return clBlack;
  case 13:
    return 0xD77800;
  case 17:
    return 0x6D6D6D;
  case 24:
    return 0xE1FFFF;
  default: // button face and the rest
    return 0xF0F0F0;
  }
}

// ---- TFont ----------------------------------------------------------------------------------

const TClassInfo &TFont::StaticClassInfo() {
  static const TClassInfo info = TClassInfoBuilder<TFont>(&TPersistent::StaticClassInfo())
                                     .Str(u"Name", &TFont::Name, &TFont::SetName)
                                     .Integer(u"Height", &TFont::Height, &TFont::SetHeight)
                                     .Integer(u"Size", &TFont::Size, &TFont::SetSize)
                                     .Stored(false)
                                     .Integer(u"Color", &TFont::Color, &TFont::SetColor)
                                     .Set(u"Style", TFontStyleNames, &TFont::Style,
                                          &TFont::SetStyle)
                                     .Build();
  return info;
}

TFont::TFont()
    : FName(DefFontName), FHeight(DefFontHeight), FColor(clWindowText),
      FPixelsPerInch(USER_DEFAULT_SCREEN_DPI) {}

void TFont::Changed() {
  if (OnChange)
    OnChange(this);
}

void TFont::SetName(const String &Value) {
  if (Value.empty() || Value == FName)
    return;
  FName = Value;
  Changed();
}

void TFont::SetHeight(Integer Value) {
  if (Value == FHeight)
    return;
  FHeight = Value;
  Changed();
}

Integer TFont::Size() const { return -MulDiv(FHeight, 72, FPixelsPerInch); }

void TFont::SetSize(Integer Value) { SetHeight(-MulDiv(Value, FPixelsPerInch, 72)); }

void TFont::SetColor(TColor Value) {
  if (Value == FColor)
    return;
  FColor = Value;
  Changed();
}

void TFont::SetStyle(TFontStyles Value) {
  if (Value == FStyle)
    return;
  FStyle = Value;
  Changed();
}

void TFont::Assign(const TPersistent *Source) {
  const auto *f = dynamic_cast<const TFont *>(Source);
  if (!f) {
    TPersistent::Assign(Source);
    return;
  }
  const Integer height = f->FPixelsPerInch == FPixelsPerInch
                             ? f->FHeight
                             : MulDiv(f->FHeight, FPixelsPerInch, f->FPixelsPerInch);
  if (f->FName == FName && height == FHeight && f->FColor == FColor && f->FStyle == FStyle)
    return;
  FName = f->FName;
  FHeight = height;
  FColor = f->FColor;
  FStyle = f->FStyle;
  Changed();
}

bool TFont::Equals(const TFont &Other) const {
  return FName == Other.FName && FHeight == Other.FHeight && FColor == Other.FColor &&
         FStyle == Other.FStyle;
}

// ---- TCanvas --------------------------------------------------------------------------------

Integer TCanvas::TextWidth(StringView Text) const {
  const Integer h = FFont.Height() < 0 ? -FFont.Height() : FFont.Height();
  Integer w = std::max(1, MulDiv(h, 6, 11));
  if (FFont.Style().Contains(fsBold))
    ++w;
  return w * static_cast<Integer>(Text.size());
}

Integer TCanvas::TextHeight(StringView) const {
  const Integer h = FFont.Height() < 0 ? -FFont.Height() : FFont.Height();
  return MulDiv(h, 13, 11);
}

TSize TCanvas::TextExtent(StringView Text) const { return {TextWidth(Text), TextHeight(Text)}; }

void TCanvas::Record(TCanvasOpKind Kind, TRect R, StringView Text, TColor Color, Integer Index) {
  R = Rect(R.Left + FOrigin.X, R.Top + FOrigin.Y, R.Right + FOrigin.X, R.Bottom + FOrigin.Y);
  FOps.push_back({Kind, R, String(Text), Color, Index, FFont.Style()});
}

void TCanvas::TextOut(Integer X, Integer Y, StringView Text, Integer Underline) {
  Record(TCanvasOpKind::TextOut, Bounds(X, Y, TextWidth(Text), TextHeight(Text)), Text,
         FFont.Color());
  if (Underline >= 0 && Underline < static_cast<Integer>(Text.size()))
    FOps.back().Underline = Underline;
}

void TCanvas::TextRect(const TRect &Rect, Integer X, Integer Y, StringView Text) {
  TRect drawn;
  IntersectRect(drawn, Rect, Bounds(X, Y, TextWidth(Text), TextHeight(Text)));
  Record(TCanvasOpKind::TextRect, drawn, Text, FFont.Color());
}

void TCanvas::FillRect(const TRect &Rect) { Record(TCanvasOpKind::FillRect, Rect, {}, FBrush.Color); }

void TCanvas::FrameRect(const TRect &Rect) {
  Record(TCanvasOpKind::FrameRect, Rect, {}, FBrush.Color);
}

void TCanvas::Rectangle(const TRect &Rect) { Record(TCanvasOpKind::Rectangle, Rect, {}, FPen.Color); }

void TCanvas::LineTo(Integer X, Integer Y) {
  Record(TCanvasOpKind::Line, Rect(FPenPos.X, FPenPos.Y, X, Y), {}, FPen.Color);
  FPenPos = {X, Y};
}

void TCanvas::DrawImage(Integer X, Integer Y, Integer Width, Integer Height, Integer Index,
                        const String &Source) {
  Record(TCanvasOpKind::Image, Bounds(X, Y, Width, Height), Source, clNone, Index);
}

// ---- TBitmap --------------------------------------------------------------------------------

namespace {

// The live bitmaps by handle, so that a handle from outside is checked before it is used.
struct TBitmapRegistry {
  std::mutex Lock;
  std::unordered_map<HBITMAP, TBitmap *> Live;
};

TBitmapRegistry &Bitmaps() {
  static TBitmapRegistry registry;
  return registry;
}

bool HasAlpha(TPixelFormat Format) { return Format == pf32bit || Format == pfDevice; }

} // namespace

TBitmap::TBitmap() : FHandle(NewObjectHandle<HBITMAP>()) {
  auto &r = Bitmaps();
  std::lock_guard lock(r.Lock);
  r.Live.emplace(FHandle, this);
}

TBitmap::TBitmap(Integer AWidth, Integer AHeight, TPixelFormat APixelFormat) : TBitmap() {
  FPixelFormat = APixelFormat;
  SetSize(AWidth, AHeight);
}

TBitmap::~TBitmap() {
  auto &r = Bitmaps();
  std::lock_guard lock(r.Lock);
  r.Live.erase(FHandle);
}

void TBitmap::SetSize(Integer AWidth, Integer AHeight) {
  if (AWidth < 0 || AHeight < 0 || AWidth > kMaxBitmapDimension || AHeight > kMaxBitmapDimension)
    throw EInvalidGraphic(Format(u"Invalid bitmap size %d x %d", {AWidth, AHeight}));
  if (AWidth == FWidth && AHeight == FHeight)
    return;
  const DWORD blank = HasAlpha(FPixelFormat) ? 0 : 0xFF000000u;
  std::vector<DWORD> pixels(static_cast<std::size_t>(AWidth) * static_cast<std::size_t>(AHeight),
                            blank);
  for (Integer y = 0; y < std::min(AHeight, FHeight); ++y)
    std::copy_n(ScanLine(y), std::min(AWidth, FWidth),
                pixels.begin() + static_cast<std::ptrdiff_t>(y) * AWidth);
  FPixels = std::move(pixels);
  FWidth = AWidth;
  FHeight = AHeight;
}

void TBitmap::SetPixelFormat(TPixelFormat Value) {
  FPixelFormat = Value;
  if (!HasAlpha(Value))
    for (DWORD &p : FPixels)
      p |= 0xFF000000u;
}

std::size_t TBitmap::Offset(Integer X, Integer Y) const {
  if (X < 0 || Y < 0 || X >= FWidth || Y >= FHeight)
    throw EInvalidGraphic(Format(u"Pixel %d, %d is outside the bitmap", {X, Y}));
  return static_cast<std::size_t>(Y) * static_cast<std::size_t>(FWidth) +
         static_cast<std::size_t>(X);
}

DWORD TBitmap::Pixel(Integer X, Integer Y) const { return FPixels[Offset(X, Y)]; }

void TBitmap::SetPixel(Integer X, Integer Y, DWORD Value) {
  FPixels[Offset(X, Y)] = HasAlpha(FPixelFormat) ? Value : (Value | 0xFF000000u);
}

DWORD *TBitmap::ScanLine(Integer Y) {
  return FPixels.data() + Offset(0, Y);
}

const DWORD *TBitmap::ScanLine(Integer Y) const { return FPixels.data() + Offset(0, Y); }

TBitmap *TBitmap::FromHandle(HBITMAP Handle) {
  auto &r = Bitmaps();
  std::lock_guard lock(r.Lock);
  auto it = r.Live.find(Handle);
  return it == r.Live.end() ? nullptr : it->second;
}

void TBitmap::Assign(const TPersistent *Source) {
  const auto *b = dynamic_cast<const TBitmap *>(Source);
  if (!b) {
    TPersistent::Assign(Source);
    return;
  }
  if (b == this)
    return;
  FWidth = b->FWidth;
  FHeight = b->FHeight;
  FPixelFormat = b->FPixelFormat;
  FPixels = b->FPixels;
  FTransparent = b->FTransparent;
  FTransparentMode = b->FTransparentMode;
  FTransparentColor = b->FTransparentColor;
}

TColor TBitmap::TransparentColor() const {
  if (FTransparentColor != clDefault)
    return ColorToRGB(FTransparentColor);
  if (Empty())
    return clDefault;
  // A pixel is 0x..RRGGBB, a colour 0x00BBGGRR.
  const DWORD p = Pixel(0, FHeight - 1);
  return static_cast<TColor>(((p & 0xFF) << 16) | (p & 0xFF00) | ((p >> 16) & 0xFF));
}

void TBitmap::SetTransparentColor(TColor Value) {
  FTransparentColor = Value;
  FTransparentMode = Value == clDefault ? tmAuto : tmFixed;
}

void TBitmap::SetTransparentMode(TTransparentMode Value) {
  if (Value == FTransparentMode)
    return;
  SetTransparentColor(Value == tmAuto ? clDefault : TransparentColor());
}

} // namespace krx
