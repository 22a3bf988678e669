#pragma once

#include "model/uSizeInfo.h"
#include "util/Bitmap32.h"
#include "util/Geometry.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>

// One photo on the order list: its file, the prints wanted per print size, the resolution
// verdict per size, the print options and the crop per size.
class TOrder
{
public:
    // Layout values.
    static constexpr std::uint8_t LayoutImageFull = 0;
    static constexpr std::uint8_t LayoutPaperFull = 1;
    static constexpr std::uint8_t LayoutNotChosen = 2;
    // AutoCorrect values.
    static constexpr std::uint8_t AutoCorrectOn = 0;
    static constexpr std::uint8_t AutoCorrectOff = 1;
    static constexpr std::uint8_t AutoCorrectNotSet = 2;

    QString FileName;
    std::array<std::int32_t, PrintSizeCount> Quantities{};
    std::array<TSizeStatus, PrintSizeCount> SizeStatuses{};
    // Non-owning link to the label that shows the pixel size (the card's lblSize). Any QObject
    // with a "text" property will do; the link clears itself when the label goes away.
    QPointer<QObject> SizeLabel;
    std::array<TFloatRect, PrintSizeCount> CropRects{};
    std::array<QString, PrintSizeCount> CropTexts{};
    std::uint8_t Layout = LayoutNotChosen;
    bool Bordered = false;
    std::uint8_t AutoCorrect = AutoCorrectOff;
    std::int32_t ImageWidth = 0;
    std::int32_t ImageHeight = 0;
    // The photo's file as it was measured, to tell later whether it has changed since.
    qint64 FileSize = -1;
    qint64 FileTime = 0; // last modification, ms since the epoch (UTC)

    // Measures the photo and rates every print size; never fails (0 x 0, all ssBad, for a
    // photo that cannot be decoded).
    explicit TOrder(const QString &FileName);
    static std::unique_ptr<TOrder> Create(const QString &FileName);

    TOrder(const TOrder &) = delete;
    TOrder &operator=(const TOrder &) = delete;
    ~TOrder() = default;

    // Quantities and options back to their defaults; statuses, crops, size and label stay.
    void Reset();
    // A copy for editing: measured and rated afresh, without label.
    std::unique_ptr<TOrder> Clone() const;

    std::int32_t GetQuantity(int Index) const { return Quantities[Index]; }
    void SetQuantity(int Index, std::int32_t Value) { Quantities[Index] = Value; }
    TSizeStatus GetSizeStatus(int Index) const { return SizeStatuses[Index]; }
    void SetSizeStatus(int Index, TSizeStatus Status) { SizeStatuses[Index] = Status; }

    bool HasNoQuantity() const;
    bool LayoutChosen() const { return Layout != LayoutNotChosen; }

    void SetImageSize(std::int32_t Width, std::int32_t Height);
    void AttachSizeLabel(QObject *Label);

    // Draws the thumbnail into Bitmap: detached (Wait false) or waited for (Wait true).
    void LoadThumbnail(const std::shared_ptr<Bitmap32> &Bitmap, bool Wait) const;

    // Sets Layout; image-full clears every crop, as an image-full order never carries one.
    void SetLayout(std::uint8_t Value);
    void ClearCrops();

    // The order's line of the cart-info file, ASCII, ending in CR LF.
    QString CartInfoLine() const;

    // Line order of the per-size fields in the cart-info line (print size indices).
    static constexpr std::array<int, PrintSizeCount> CartInfoSizeOrder{1, 3, 5, 9, 0, 2, 4, 6, 7, 8, 10};
};
