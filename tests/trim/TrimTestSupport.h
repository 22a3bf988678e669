#pragma once

#include "util/Geometry.h"

#include <QMetaType>
#include <QString>
#include <QTest>

Q_DECLARE_METATYPE(TRect)
Q_DECLARE_METATYPE(TFloatRect)

namespace QTest {

template<> inline char *toString(const TRect &r)
{
    return qstrdup(
        QString::asprintf("(%d, %d, %d, %d)", r.Left, r.Top, r.Right, r.Bottom).toUtf8());
}

template<> inline char *toString(const TFloatRect &r)
{
    return qstrdup(QString::asprintf(
        "(%g, %g, %g, %g)", double(r.Left), double(r.Top), double(r.Right), double(r.Bottom))
                       .toUtf8());
}

} // namespace QTest
