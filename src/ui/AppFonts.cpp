#include "ui/AppFonts.h"

#include <QStringList>

namespace {

QFont makeFont(const QStringList &Families, int PixelSize)
{
    QFont font;
    font.setFamilies(Families);
    font.setPixelSize(PixelSize);
    return font;
}

} // namespace

QFont GulimFont(int PixelSize)
{
    return makeFont({QStringLiteral("굴림"), QStringLiteral("Gulim"), QStringLiteral("NanumGothic"),
                        QStringLiteral("NanumBarunGothic")},
        PixelSize);
}

QFont SansSerifFont(int PixelSize)
{
    // Hangul in these windows came from the Korean fallback of the system, Gulim.
    return makeFont({QStringLiteral("MS Sans Serif"), QStringLiteral("굴림"),
                        QStringLiteral("Gulim"), QStringLiteral("NanumGothic")},
        PixelSize);
}

QFont MyeongjoFont(int PixelSize, bool Bold)
{
    QFont font = makeFont({QStringLiteral("HY신명조"), QStringLiteral("HYSinMyeongJo"),
                              QStringLiteral("NanumMyeongjo"), QStringLiteral("NanumGothic")},
        PixelSize);
    font.setBold(Bold);
    return font;
}
