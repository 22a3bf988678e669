#include "cart/cSizeIndicator.h"

#include "ui/Icons.h"

#include <QPainter>
#include <QSvgRenderer>

TImageList::TImageList(int Width, int Height)
    : m_width(Width)
    , m_height(Height)
{ }

void TImageList::Add(const QImage &Image)
{
    QImage image = Image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (image.size() != QSize(m_width, m_height))
        image = image.scaled(m_width, m_height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    m_images.push_back(std::move(image));
}

void TImageList::Draw(QPainter &Painter, int X, int Y, int Index) const
{
    if (Index < 0 || Index >= Count())
        return;
    Painter.drawImage(X, Y, m_images[Index]);
}

QImage TImageList::Image(int Index) const
{
    if (Index < 0 || Index >= Count())
        return {};
    return m_images[Index];
}

namespace {

QImage RenderSvg(const QString &Resource, int Width, int Height)
{
    QImage image(Width, Height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QSvgRenderer renderer(Resource);
    QPainter painter(&image);
    renderer.render(&painter);
    return image;
}

} // namespace

const TImageList &SizeMarkImageList()
{
    static const TImageList list = [] {
        InitResources();
        TImageList l(16, 16);
        const QImage cross = RenderSvg(QStringLiteral(":/marks/size-bad.svg"), 16, 16);
        l.Add(cross);
        l.Add(RenderSvg(QStringLiteral(":/marks/size-optimal.svg"), 16, 16));
        l.Add(cross);
        return l;
    }();
    return list;
}

TSizeIndicator::TSizeIndicator(QWidget *Owner)
    : QWidget(Owner)
{
    resize(16, 16);
    setAccessibleName(QStringLiteral("해상도 표시"));
}

void TSizeIndicator::SetSizeStatus(TSizeStatus Value)
{
    m_sizeStatus = Value;
    describe();
    if (!m_imageList)
        return;
    ClearCanvas();
    QPainter painter(&m_picture);
    m_imageList->Draw(painter, 0, 0, SizeStatusImageIndex(Value));
    painter.end();
    update();
}

void TSizeIndicator::SetPicture(const QImage &Picture)
{
    m_picture = Picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    update();
}

void TSizeIndicator::ClearCanvas()
{
    if (m_picture.size() != size())
        m_picture = QImage(size(), QImage::Format_ARGB32_Premultiplied);
    m_picture.fill(QColor(0xFF, 0xFF, 0xFF));
    update();
}

void TSizeIndicator::paintEvent(QPaintEvent *)
{
    if (m_picture.isNull())
        return;
    QPainter painter(this);
    painter.drawImage(0, 0, m_picture);
}

void TSizeIndicator::describe()
{
    // The mark speaks only through its colour; say the same in words.
    switch (m_sizeStatus) {
    case ssOptimal:
        setAccessibleDescription(QStringLiteral("권장"));
        break;
    case ssBad:
        setAccessibleDescription(QStringLiteral("비권장"));
        break;
    case ssWarning:
        setAccessibleDescription(QStringLiteral("비권장, 주문 확인됨"));
        break;
    default:
        setAccessibleDescription(QString());
        break;
    }
}
