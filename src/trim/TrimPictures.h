#pragma once

#include "trim/TrimGeometry.h"

#include <QImage>

// The pictures of the trimming view's layers, drawn from one decoded photo.
namespace TrimPictures {

// The photo drawn scaled into an opaque picture of Size; transparent parts become white.
QImage ScaledPhoto(const QImage &Photo, QSize Size);

// The wallet sheet: transparent, with the two copies drawn where Sheet places them (the
// second over the first where they overlap).
QImage WalletSheet(const QImage &Photo, const TrimGeometry::TWalletSheet &Sheet);

// The overlay: fully transparent, with the border band or the wallet masks, and the black
// outline along its outer edge.
QImage Frame(const TrimGeometry::TFrame &Frame);

} // namespace TrimPictures
