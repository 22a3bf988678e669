#include "trim/TrimPictures.h"

#include <QPainter>

namespace {

// A one-pixel frame along the edge of r (exclusive right and bottom).
void FrameRect(QImage &img, const TRect &r, QRgb color)
{
    if (r.Width() <= 0 || r.Height() <= 0)
        return;
    QPainter p(&img);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    const QColor c = QColor::fromRgba(color);
    p.fillRect(r.Left, r.Top, r.Width(), 1, c);
    p.fillRect(r.Left, r.Bottom - 1, r.Width(), 1, c);
    p.fillRect(r.Left, r.Top, 1, r.Height(), c);
    p.fillRect(r.Right - 1, r.Top, 1, r.Height(), c);
}

void FillRect(QImage &img, const TRect &r, QRgb color)
{
    QPainter p(&img);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.fillRect(r.Left, r.Top, r.Width(), r.Height(), QColor::fromRgba(color));
}

constexpr QRgb White = 0xFFFFFFFF;
constexpr QRgb Black = 0xFF000000;

} // namespace

namespace TrimPictures {

QImage ScaledPhoto(const QImage &Photo, QSize Size)
{
    QImage out(Size, QImage::Format_RGB32);
    out.fill(Qt::white);
    QPainter p(&out);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(QRect(QPoint(0, 0), Size), Photo);
    return out;
}

QImage WalletSheet(const QImage &Photo, const TrimGeometry::TWalletSheet &Sheet)
{
    const QImage copy = ScaledPhoto(Photo, Sheet.Copy);
    QImage out(Sheet.Sheet, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    QPainter p(&out);
    p.drawImage(Sheet.First, copy);
    p.drawImage(Sheet.Second, copy);
    return out;
}

QImage Frame(const TrimGeometry::TFrame &Frame)
{
    QImage out(Frame.Size, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    const int w = Frame.Size.width(), h = Frame.Size.height();
    if (Frame.WalletMasks) {
        const TrimGeometry::TWalletMasks m = TrimGeometry::WalletMasks(Frame.Size);
        FillRect(out, m.First, White);
        FillRect(out, m.Second, White);
    } else if (Frame.Band) {
        for (int i = 1; i <= TrimGeometry::BorderBandWidth; ++i)
            FrameRect(out, {i, i, w - i, h - i}, White);
    }
    FrameRect(out, {0, 0, w, h}, Black);
    return out;
}

} // namespace TrimPictures
