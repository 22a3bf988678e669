#include "util/Cp949.h"

#include <QList>

#include <cerrno>
#include <iconv.h>
#include <stdexcept>

namespace {

// One conversion descriptor per call: iconv_t carries shift state and is not thread-safe.
class Converter
{
public:
    Converter(const char *to, const char *from)
        : m_cd(iconv_open(to, from))
    {
        if (m_cd == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(
                std::string("iconv cannot convert from ") + from + " to " + to);
    }
    ~Converter() { iconv_close(m_cd); }
    Converter(const Converter &) = delete;
    Converter &operator=(const Converter &) = delete;

    // Converts [in, in + inLeft) and appends to out. Returns the number of input bytes left
    // at an error (errno tells which), 0 when everything was converted.
    std::size_t Convert(char *&in, std::size_t &inLeft, QByteArray &out)
    {
        while (inLeft > 0) {
            char buffer[1024];
            char *dst = buffer;
            std::size_t dstLeft = sizeof buffer;
            const std::size_t rc = iconv(m_cd, &in, &inLeft, &dst, &dstLeft);
            out.append(buffer, static_cast<qsizetype>(dst - buffer));
            if (rc != static_cast<std::size_t>(-1))
                continue;
            if (errno == E2BIG)
                continue;
            return inLeft;
        }
        return 0;
    }

    void Reset() { iconv(m_cd, nullptr, nullptr, nullptr, nullptr); }

private:
    iconv_t m_cd;
};

} // namespace

QByteArray toCp949(const QString &Text, QString *Unheld)
{
    // Work in UTF-32 so that an unconvertible character (a whole surrogate pair included) is
    // skipped as one unit and replaced by exactly one "?".
    const QList<uint> ucs4 = Text.toUcs4();
    QByteArray out;
    out.reserve(Text.size() * 2);
    Converter conv("CP949", "UTF-32LE");
    QByteArray input;
    input.reserve(ucs4.size() * 4);
    for (uint c : ucs4) {
        const char bytes[4] = {
            char(c & 0xff), char((c >> 8) & 0xff), char((c >> 16) & 0xff), char((c >> 24) & 0xff)};
        input.append(bytes, 4);
    }
    char *in = input.data();
    std::size_t inLeft = static_cast<std::size_t>(input.size());
    while (conv.Convert(in, inLeft, out) > 0) {
        // EILSEQ: not in CP949; EINVAL cannot happen on whole UTF-32 units.
        out.append('?');
        if (Unheld) {
            const uint c = ucs4[(input.size() - qsizetype(inLeft)) / 4];
            const QString letter = QString::fromUcs4(reinterpret_cast<const char32_t *>(&c), 1);
            if (!Unheld->contains(letter))
                Unheld->append(letter);
        }
        const std::size_t skip = inLeft < 4 ? inLeft : 4;
        in += skip;
        inLeft -= skip;
        conv.Reset();
    }
    return out;
}

QString fromCp949(const QByteArray &Bytes)
{
    Converter conv("UTF-16LE", "CP949");
    QByteArray utf16;
    utf16.reserve(Bytes.size() * 2);
    QByteArray input = Bytes;
    char *in = input.data();
    std::size_t inLeft = static_cast<std::size_t>(input.size());
    static const char replacement[2] = {char(0xfd), char(0xff)};
    while (conv.Convert(in, inLeft, utf16) > 0) {
        // EILSEQ (a bad byte) or EINVAL (a lead byte cut off at the end): one U+FFFD per byte
        // skipped, and go on after it.
        utf16.append(replacement, 2);
        ++in;
        --inLeft;
        conv.Reset();
    }
    return QString(reinterpret_cast<const QChar *>(utf16.constData()), utf16.size() / 2);
}
