#pragma once

#include <QString>

#include <cstdint>

// The eleven print sizes of the service. The row number is the print size index that every
// per-size array and every per-size control (its Tag) uses.
inline constexpr int PrintSizeCount = 11;

enum class TPrintSize : std::uint8_t {
    ps3x5 = 0, psD3, ps4x6, psD5, ps5x7, psD6, ps8x10, ps11x14, ps12x17, psWallet, psA4
};

enum TSizeStatus : std::uint8_t { ssNone = 0, ssBad, ssOptimal, ssWarning };
static_assert(sizeof(TSizeStatus) == 1);

struct TPrintSizeInfo
{
    const char *CardName;   // on the photo card
    const char *CartName;   // on the cart page and in the trimming window
    const char *PaperText;  // paper size in centimetres
    std::int32_t MinLong;   // minimum pixels, long side
    std::int32_t MinShort;  // minimum pixels, short side
};

const TPrintSizeInfo &PrintSizeInfo(int Index);
QString CardSizeName(int Index);
QString CartSizeName(int Index);
QString PaperSizeText(int Index);

struct TMinimumSize
{
    std::int32_t Width;
    std::int32_t Height;
};

// (long, short) when Landscape, else (short, long).
TMinimumSize GetMinimumSize(TPrintSize Size, bool Landscape);

// ssBad or ssOptimal; a square photo takes the requirement with its long side vertical.
TSizeStatus RateImageSize(TPrintSize Size, std::int32_t Width, std::int32_t Height);

// Image of the resolution mark's list: ssBad 0, ssOptimal 1, ssWarning 2, ssNone -1.
int SizeStatusImageIndex(TSizeStatus Status);

constexpr TPrintSize PrintSizeOf(int Index)
{
    return static_cast<TPrintSize>(Index);
}
