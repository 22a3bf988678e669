#include "model/uSizeInfo.h"

#include <array>

namespace {

// D3, A4 and the wallet sheet (two cuts on one sheet) are not 150 ppi of their paper text.
constexpr std::array<TPrintSizeInfo, PrintSizeCount> Catalogue{{
    {"3x5", "3x5", "12.7 x 8.9 cm", 750, 525},
    {"D3", "D3", "12.7 x 9.5 cm", 750, 563},
    {"4x6", "4x6", "15.2 x 10.2 cm", 900, 600},
    {"D5", "D5", "15.2 x 11.4 cm", 900, 675},
    {"5x7", "5x7", "17.8 x 12.7 cm", 1050, 750},
    {"D6", "D6", "20.3 x 15.2 cm", 1200, 900},
    {"8x10", "8x10", "25.4 x 20.3 cm", 1500, 1200},
    {"11x14", "11x14", "35.6 x 27.9 cm", 2100, 1650},
    {"12x17", "12x17", "43.2 x 30.5 cm", 2550, 1800},
    {"지갑용", "지갑용(2컷)", "12.7 x 8.9 cm", 470, 360},
    {"A4", "A4", "29.7 x 21.0 cm", 1750, 1240},
}};

} // namespace

const TPrintSizeInfo &PrintSizeInfo(int Index)
{
    return Catalogue.at(static_cast<std::size_t>(Index));
}

QString CardSizeName(int Index)
{
    return QString::fromUtf8(PrintSizeInfo(Index).CardName);
}

QString CartSizeName(int Index)
{
    return QString::fromUtf8(PrintSizeInfo(Index).CartName);
}

QString PaperSizeText(int Index)
{
    return QString::fromUtf8(PrintSizeInfo(Index).PaperText);
}

TMinimumSize GetMinimumSize(TPrintSize Size, bool Landscape)
{
    const TPrintSizeInfo &info = PrintSizeInfo(static_cast<int>(Size));
    if (Landscape)
        return {info.MinLong, info.MinShort};
    return {info.MinShort, info.MinLong};
}

TSizeStatus RateImageSize(TPrintSize Size, std::int32_t Width, std::int32_t Height)
{
    const bool landscape = Height < Width;
    const TMinimumSize min = GetMinimumSize(Size, landscape);
    return (Width < min.Width || Height < min.Height) ? ssBad : ssOptimal;
}

int SizeStatusImageIndex(TSizeStatus Status)
{
    switch (Status) {
    case ssBad:
        return 0;
    case ssOptimal:
        return 1;
    case ssWarning:
        return 2;
    case ssNone:
        break;
    }
    return -1;
}
