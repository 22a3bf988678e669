#pragma once

#include <cstdint>

// Integer rectangle of the whole program: right and bottom edges are exclusive.
struct TRect
{
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Right = 0;
    std::int32_t Bottom = 0;

    constexpr std::int32_t Width() const { return Right - Left; }
    constexpr std::int32_t Height() const { return Bottom - Top; }
    friend constexpr bool operator==(const TRect &, const TRect &) = default;
};

// Float rectangle (layer locations in paper pixels, crop frames of an order).
struct TFloatRect
{
    float Left = 0;
    float Top = 0;
    float Right = 0;
    float Bottom = 0;

    constexpr float Width() const { return Right - Left; }
    constexpr float Height() const { return Bottom - Top; }
    constexpr bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    constexpr bool IsZero() const { return Left == 0 && Top == 0 && Right == 0 && Bottom == 0; }
    friend constexpr bool operator==(const TFloatRect &, const TFloatRect &) = default;
};

// The largest rectangle with Reference's aspect ratio inside Target, centred on it; the half
// surplus is rounded down, so an odd surplus loses one pixel and the result stays inside.
// A reference without area gives Target unchanged.
TRect AspectFitRect(const TRect &Reference, const TRect &Target);

// The smallest rectangle with Reference's aspect ratio around Target, centred on it; an odd
// deficit leaves it one pixel short. A reference without area gives Target unchanged.
TRect AspectCoverRect(const TRect &Reference, const TRect &Target);
