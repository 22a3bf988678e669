#pragma once

#include <QIcon>

// Registers the pictures and the skin of the program (idempotent).
void InitResources();

// ImageList1: the eight 32 x 32 icons of the toolbars and the page tabs.
enum class KbIcon {
    AddPhotos = 0, // 사진추가하기
    WaitingList = 1, // 주문대기보기
    SelectAll = 2,
    Deselect = 3,
    EmptyList = 4,
    ResetChoices = 5,
    OrderPhotos = 6,
    PutOnList = 7,
};

inline constexpr int KbIconCount = 8;

QIcon ImageList1(int Index);
inline QIcon ImageList1(KbIcon Icon)
{
    return ImageList1(static_cast<int>(Icon));
}

// The picture of the wait panel.
QIcon WaitIcon();
