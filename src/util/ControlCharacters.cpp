#include "util/ControlCharacters.h"

#include <algorithm>

namespace {

bool isControl(QChar c)
{
    const char16_t u = c.unicode();
    return u < 0x20 || (u >= 0x7F && u <= 0x9F);
}

} // namespace

bool HasControlCharacter(const QString &Text)
{
    return std::any_of(Text.cbegin(), Text.cend(), isControl);
}

bool HasControlByte(const QByteArray &Bytes)
{
    return std::any_of(Bytes.cbegin(), Bytes.cend(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b < 0x20 || b == 0x7F;
    });
}

QString ShowControlCharacters(QString Text)
{
    for (QChar &c : Text) {
        if (isControl(c))
            c = u'?';
    }
    return Text;
}
