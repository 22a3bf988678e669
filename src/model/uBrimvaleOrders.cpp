#include "model/uBrimvaleOrders.h"

#include "model/LoadThumbThreadObj.h"
#include "util/MeasureImage.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLatin1String>
#include <QVariant>

namespace {

QString PixelSizeText(std::int32_t Width, std::int32_t Height)
{
    return QString::asprintf("%dx%d", Width, Height);
}

// The service reads exactly one "Y" among the four layout fields; with border comes first.
const char *LayoutGroup(std::uint8_t Layout, bool Bordered)
{
    switch (Layout) {
    case TOrder::LayoutPaperFull:
        return Bordered ? "Y:N:N:N:" : "N:Y:N:N:";
    case TOrder::LayoutImageFull:
        return Bordered ? "N:N:Y:N:" : "N:N:N:Y:";
    default:
        return "";
    }
}

const char *AutoCorrectField(std::uint8_t AutoCorrect)
{
    switch (AutoCorrect) {
    case TOrder::AutoCorrectOn:
        return "Y:";
    case TOrder::AutoCorrectOff:
        return "N:";
    default:
        return "";
    }
}

} // namespace

TOrder::TOrder(const QString &FileName)
    : FileName(FileName)
{
    Quantities.fill(0);
    SizeStatuses.fill(ssNone);
    CropRects.fill(TFloatRect {});
    CropTexts.fill(QString());
    Layout = LayoutNotChosen;
    Bordered = false;
    AutoCorrect = AutoCorrectOff;
    const QFileInfo file(FileName);
    if (file.isFile()) {
        FileSize = file.size();
        FileTime = file.lastModified().toMSecsSinceEpoch();
    }
    const QSize size = MeasureImage(FileName);
    SetImageSize(size.width(), size.height());
}

std::unique_ptr<TOrder> TOrder::Create(const QString &FileName)
{
    return std::make_unique<TOrder>(FileName);
}

void TOrder::Reset()
{
    Quantities.fill(0);
    Bordered = false;
    Layout = LayoutNotChosen;
    AutoCorrect = AutoCorrectNotSet;
}

std::unique_ptr<TOrder> TOrder::Clone() const
{
    // Measured and rated afresh: an accepted low-resolution warning does not carry over.
    auto copy = Create(FileName);
    copy->Quantities = Quantities;
    copy->CropRects = CropRects;
    copy->CropTexts = CropTexts;
    copy->Bordered = Bordered;
    copy->Layout = Layout;
    copy->AutoCorrect = AutoCorrect;
    return copy;
}

bool TOrder::HasNoQuantity() const
{
    // 64-bit, so quantities near the 32-bit limit cannot wrap the sum below 1.
    std::int64_t sum = 0;
    for (int i = 0; i < PrintSizeCount; ++i)
        sum += Quantities[i];
    return sum < 1;
}

void TOrder::SetImageSize(std::int32_t Width, std::int32_t Height)
{
    ImageWidth = Width;
    ImageHeight = Height;
    for (int i = 0; i < PrintSizeCount; ++i)
        SizeStatuses[i] = RateImageSize(PrintSizeOf(i), Width, Height);
    if (SizeLabel)
        SizeLabel->setProperty("text", PixelSizeText(Width, Height));
}

void TOrder::AttachSizeLabel(QObject *Label)
{
    SizeLabel = Label;
    if (Label)
        Label->setProperty("text", PixelSizeText(ImageWidth, ImageHeight));
}

void TOrder::LoadThumbnail(const std::shared_ptr<Bitmap32> &Bitmap, bool Wait) const
{
    ::LoadThumbnail(Bitmap, FileName, Wait);
}

void TOrder::SetLayout(std::uint8_t Value)
{
    Layout = Value;
    if (Layout == LayoutImageFull)
        ClearCrops();
}

void TOrder::ClearCrops()
{
    CropRects.fill(TFloatRect {});
    CropTexts.fill(QString());
}

QString TOrder::CartInfoLine() const
{
    QString line;
    line.reserve(96);
    for (int index : CartInfoSizeOrder) {
        line += QString::number(Quantities[index]);
        line += QLatin1Char(':');
    }
    line += QLatin1String("Y:N:");
    line += QLatin1String(LayoutGroup(Layout, Bordered));
    line += QLatin1String(AutoCorrectField(AutoCorrect));
    for (int pos = 0; pos < PrintSizeCount; ++pos) {
        if (pos > 0)
            line += QLatin1Char(':');
        line += CropTexts[CartInfoSizeOrder[pos]];
    }
    line += QLatin1String("\r\n");
    return line;
}
