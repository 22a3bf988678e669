#pragma once

#include <QFont>

// The windows ask for the faces they were drawn with ("굴림", "MS Sans Serif", "HY신명조") and
// fall back to the Nanum faces that the setup installs, so Hangul always renders.
QFont GulimFont(int PixelSize);
QFont SansSerifFont(int PixelSize); // "MS Sans Serif", Korean character set
QFont MyeongjoFont(int PixelSize, bool Bold);
