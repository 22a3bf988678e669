#pragma once

#include "model/uSizeInfo.h"

#include "util/Geometry.h"

#include <QPoint>
#include <QSize>
#include <QString>

// Placement of a photo on the paper of one print size in the trimming view, without painting.
// All rectangles are in view pixels; paper rectangles start at the origin (the paper's
// top-left corner), photo and sheet locations are relative to it.
namespace TrimGeometry {

inline constexpr int ViewWidth = 408;
inline constexpr int ViewHeight = 397;
inline constexpr int PhotoFitMargin = 20;
inline constexpr int PaperFitMargin = 50;

// The print sizes the trimming view treats apart, as indexes.
inline constexpr int SizeD5 = static_cast<int>(TPrintSize::psD5);
inline constexpr int SizeWallet = static_cast<int>(TPrintSize::psWallet);

inline constexpr int BorderOverhang = 7;
inline constexpr int BorderBandWidth = 6;
inline constexpr int GhostAlpha = 128;

// A photo counts as landscape only when it is wider than high; square photos go with the
// portrait ones everywhere.
constexpr bool IsLandscape(int Width, int Height)
{
    return Width > Height;
}

TRect MovedToOrigin(const TRect &r);
TFloatRect ToFloat(const TRect &r);

// The photo fitted into the view less its margin, at the origin.
TRect FitPhotoRect(QSize Photo, QSize View = {ViewWidth, ViewHeight});

// The paper of a print size fitted into the view less its margin, at the origin; long side
// across for a landscape photo, short side across otherwise.
TRect PaperRect(int SizeIndex, bool LandscapePhoto, QSize View = {ViewWidth, ViewHeight});

// The wallet sheet: two copies of the photo, each covering one wallet picture box.
struct TWalletSheet
{
    QSize Copy; // one copy of the photo
    QSize Sheet; // the whole sheet
    QPoint First; // where the copies are drawn on the sheet
    QPoint Second;
};
TWalletSheet WalletSheet(QSize Photo);

// The wallet paper: the wallet's shape fitted into the sheet, at the origin.
TRect WalletPaperRect(bool LandscapePhoto, QSize Sheet);

// Paper-full: the stored placement when the user made one, else the photo covering the paper.
TFloatRect PaperFullLocation(QSize Fit, QSize Paper, const TFloatRect &Stored);
// Image-full: the whole photo inside the paper.
TFloatRect ImageFullLocation(QSize Fit, QSize Paper);
// Wallet: the stored placement, else the sheet centred over the paper.
TFloatRect SheetLocation(QSize Sheet, QSize Paper, const TFloatRect &Stored);

// Pushes a proposed move back so that the photo keeps covering the paper; where it cannot,
// the bottom and right edges win.
void ConstrainPhotoMove(const TFloatRect &Old, TFloatRect &Proposed, QSize Paper);
// The wallet sheet moves along one axis only: across a portrait or square sheet, up and down
// a landscape one.
void ConstrainSheetMove(const TFloatRect &Old, TFloatRect &Proposed, QSize Paper, QSize Sheet);

// The crop as the print lab reads it: "X,Y,W,H", the paper's corner inside the photo and the
// paper's size; the wallet gives its minimum size in the orientation of one picture instead.
QString CropText(const TFloatRect &Location, QSize Paper, bool Wallet);

// The overlay with outline, border band and wallet masks.
struct TFrame
{
    QSize Size;
    TFloatRect Location;
    bool Band = false; // the six white frames inside the outline
    bool WalletMasks = false;
};
TFrame FrameFor(int SizeIndex, bool Bordered, QSize Paper);

// The two white bars that hide the wallet sheet's margins beside the pictures.
struct TWalletMasks
{
    TRect First;
    TRect Second;
};
TWalletMasks WalletMasks(QSize Frame);

} // namespace TrimGeometry
