#pragma once

// What the program and the decoding helper (kestrun-decoder) say to each other over the
// helper's stdin/stdout: fixed-size little records in the machine's own byte order, as both
// ends are always built together.

#include <cstdint>

namespace decodehelper {

inline constexpr std::uint32_t RequestMagic = 0x4B424452; // "KBDR"
inline constexpr std::uint32_t ReplyMagic = 0x4B424441; // "KBDA"
inline constexpr std::uint32_t SizeTag = 0x53495A45; // "SIZE"
inline constexpr std::uint32_t PictureTag = 0x50494354; // "PICT"
inline constexpr std::uint32_t MaxPathBytes = 64 * 1024;
// Larger pictures are never asked for: a trimming preview is a few hundred pixels wide.
inline constexpr std::int64_t MaxPicturePixels = 16'000'000;

enum class Op : std::uint32_t {
    Measure = 1, // the stored size only
    Decode = 2, // the picture at exactly Width x Height
    Fit = 3, // the stored size, then the picture fitted into the box Width x Height
    Probe = 4, // tries what the sandbox forbids and reports it (tests)
};

struct Request
{
    std::uint32_t Magic = RequestMagic;
    std::uint32_t Operation = 0;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::int64_t MaxPixels = 0; // more stored pixels than this are not decoded
    std::uint32_t PathLength = 0; // the file name's bytes follow
    std::uint32_t Reserved = 0;
};

// How the decoding child of the helper ended.
enum class Outcome : std::uint32_t {
    Exited = 0, // Detail: its exit code
    Signalled = 1, // Detail: the signal (a crash, or killed by its CPU or memory limit)
    TimedOut = 2, // past its wall-clock limit, killed
    TooMuchOutput = 3, // wrote more than the request allows, killed
    NotStarted = 4,
};

// Followed by Length bytes of what the child wrote: a SizeRecord, then perhaps a
// PictureRecord and its pixels. A child that died midway leaves what it wrote before.
struct Reply
{
    std::uint32_t Magic = ReplyMagic;
    std::uint32_t Result = 0; // Outcome
    std::int32_t Detail = 0;
    std::uint32_t Length = 0;
};

struct SizeRecord
{
    std::uint32_t Tag = SizeTag;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::uint32_t Reserved = 0;
};

// Followed by Width * Height * 4 bytes, rows without padding.
struct PictureRecord
{
    std::uint32_t Tag = PictureTag;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::uint32_t Format = 0; // QImage::Format: RGB32, ARGB32 or ARGB32_Premultiplied
    std::uint32_t FromRawPreview = 0; // 1: the camera's embedded preview
    std::uint32_t Reserved = 0;
};

// The most a child may write for a picture of Width x Height.
inline constexpr std::int64_t MaxOutputBytes(std::int64_t Width, std::int64_t Height)
{
    return std::int64_t(sizeof(SizeRecord) + sizeof(PictureRecord)) + 4 * Width * Height + 4096;
}

} // namespace decodehelper
