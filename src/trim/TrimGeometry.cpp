#include "trim/TrimGeometry.h"

#include "model/uSizeInfo.h"

#include <cmath>

namespace {

TRect Bounds(QSize s)
{
    return {0, 0, s.width(), s.height()};
}

QSize SizeOf(const TRect &r)
{
    return {r.Width(), r.Height()};
}

// Wallet picture box and sheet constants, in view pixels.
constexpr int WalletBoxLong = 228;
constexpr int WalletBoxShort = 176;
constexpr int WalletSheetLong = 380;
constexpr int WalletSheetMargin = 19;
constexpr int WalletSecondOffset = 195;
constexpr int WalletPaperLong = 2000;
constexpr int WalletPaperShort = 1400;
constexpr int WalletMaskEnd = 247;
constexpr int WalletMaskWidth = 19;

// -Floor of a coordinate, so that -0.0 gives 0 and -2.5 gives 3.
int NegFloor(float v)
{
    return -static_cast<int>(std::floor(v));
}

// The four push-back rules; each keeps the size of the old location.
void NoGapAtTop(const TFloatRect &Old, TFloatRect &N)
{
    if (N.Top > 0) {
        N.Top = 0;
        N.Bottom = Old.Height();
    }
}

void NoGapAtBottom(const TFloatRect &Old, TFloatRect &N, float Hp)
{
    if (Hp > N.Bottom) {
        N.Bottom = Hp;
        N.Top = Hp - Old.Height();
    }
}

void NoGapAtLeft(const TFloatRect &Old, TFloatRect &N)
{
    if (N.Left > 0) {
        N.Left = 0;
        N.Right = Old.Width();
    }
}

void NoGapAtRight(const TFloatRect &Old, TFloatRect &N, float Wp)
{
    if (Wp > N.Right) {
        N.Right = Wp;
        N.Left = Wp - Old.Width();
    }
}

} // namespace

namespace TrimGeometry {

TRect MovedToOrigin(const TRect &r)
{
    return {0, 0, r.Width(), r.Height()};
}

TFloatRect ToFloat(const TRect &r)
{
    return {float(r.Left), float(r.Top), float(r.Right), float(r.Bottom)};
}

TRect FitPhotoRect(QSize Photo, QSize View)
{
    const TRect box {0, 0, View.width() - PhotoFitMargin, View.height() - PhotoFitMargin};
    return MovedToOrigin(AspectFitRect(Bounds(Photo), box));
}

TRect PaperRect(int SizeIndex, bool LandscapePhoto, QSize View)
{
    const TMinimumSize shape = GetMinimumSize(PrintSizeOf(SizeIndex), LandscapePhoto);
    const TRect box {0, 0, View.width() - PaperFitMargin, View.height() - PaperFitMargin};
    return MovedToOrigin(AspectFitRect({0, 0, shape.Width, shape.Height}, box));
}

TWalletSheet WalletSheet(QSize Photo)
{
    const bool landscape = IsLandscape(Photo.width(), Photo.height());
    const TRect box = landscape ? TRect {0, 0, WalletBoxLong, WalletBoxShort}
                                : TRect {0, 0, WalletBoxShort, WalletBoxLong};
    TWalletSheet w;
    w.Copy = SizeOf(AspectCoverRect(Bounds(Photo), box));
    if (landscape) {
        // One picture above the other.
        w.Sheet = {w.Copy.width() + 2 * WalletSheetMargin, WalletSheetLong};
        w.First = {WalletSheetMargin, 9};
        w.Second = {WalletSheetMargin, WalletSecondOffset};
    } else {
        // Side by side; a square photo starts further left.
        w.Sheet = {WalletSheetLong, w.Copy.height() + 2 * WalletSheetMargin};
        w.First = {Photo.width() == Photo.height() ? 1 : 9, WalletSheetMargin};
        w.Second = {WalletSecondOffset, WalletSheetMargin};
    }
    return w;
}

TRect WalletPaperRect(bool LandscapePhoto, QSize Sheet)
{
    const TRect shape = LandscapePhoto ? TRect {0, 0, WalletPaperShort, WalletPaperLong}
                                       : TRect {0, 0, WalletPaperLong, WalletPaperShort};
    return MovedToOrigin(AspectFitRect(shape, Bounds(Sheet)));
}

TFloatRect PaperFullLocation(QSize Fit, QSize Paper, const TFloatRect &Stored)
{
    if (!Stored.IsEmpty())
        return Stored;
    return ToFloat(AspectCoverRect(Bounds(Fit), Bounds(Paper)));
}

TFloatRect ImageFullLocation(QSize Fit, QSize Paper)
{
    return ToFloat(AspectFitRect(Bounds(Fit), Bounds(Paper)));
}

TFloatRect SheetLocation(QSize Sheet, QSize Paper, const TFloatRect &Stored)
{
    if (!Stored.IsEmpty())
        return Stored;
    return ToFloat(AspectCoverRect(Bounds(Sheet), Bounds(Paper)));
}

void ConstrainPhotoMove(const TFloatRect &Old, TFloatRect &Proposed, QSize Paper)
{
    NoGapAtTop(Old, Proposed);
    NoGapAtBottom(Old, Proposed, float(Paper.height()));
    NoGapAtLeft(Old, Proposed);
    NoGapAtRight(Old, Proposed, float(Paper.width()));
}

void ConstrainSheetMove(const TFloatRect &Old, TFloatRect &Proposed, QSize Paper, QSize Sheet)
{
    if (IsLandscape(Sheet.width(), Sheet.height())) {
        Proposed.Left = Old.Left;
        Proposed.Right = Old.Right;
        NoGapAtBottom(Old, Proposed, float(Paper.height()));
        NoGapAtTop(Old, Proposed);
    } else {
        Proposed.Top = Old.Top;
        Proposed.Bottom = Old.Bottom;
        NoGapAtLeft(Old, Proposed);
        NoGapAtRight(Old, Proposed, float(Paper.width()));
    }
}

QString CropText(const TFloatRect &Location, QSize Paper, bool Wallet)
{
    int w = Paper.width(), h = Paper.height();
    if (Wallet) {
        const TMinimumSize m = GetMinimumSize(PrintSizeOf(SizeWallet), w <= h);
        w = m.Width;
        h = m.Height;
    }
    return QString::asprintf("%d,%d,%d,%d", NegFloor(Location.Left), NegFloor(Location.Top), w, h);
}

TFrame FrameFor(int SizeIndex, bool Bordered, QSize Paper)
{
    TFrame f;
    // D5 is printed with its border inside the paper, so its overlay never reaches out.
    if (SizeIndex != SizeD5 && Bordered) {
        const int o = BorderOverhang;
        f.Size = {Paper.width() + 2 * o, Paper.height() + 2 * o};
        f.Location = {float(-o), float(-o), float(Paper.width() + o), float(Paper.height() + o)};
    } else {
        f.Size = Paper;
        f.Location = {0, 0, float(Paper.width()), float(Paper.height())};
    }
    f.WalletMasks = SizeIndex == SizeWallet;
    f.Band = !f.WalletMasks && Bordered;
    return f;
}

TWalletMasks WalletMasks(QSize Frame)
{
    const int l = WalletSheetLong, e = WalletMaskEnd, m = WalletMaskWidth;
    if (IsLandscape(Frame.width(), Frame.height()))
        return {{0, 0, l, m}, {0, e, l, e + m}};
    return {{0, 0, m, l}, {e, 0, e + m, l}};
}

} // namespace TrimGeometry
