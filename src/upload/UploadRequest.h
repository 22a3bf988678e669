#pragma once

#include "upload/UploadSettings.h"

#include <QList>
#include <QString>

class TOrder;

// One photo of an upload as it stood when the upload began: its file and its cart-info line
// (quantities, layout, border, correction, crops). The order it came from may be edited or
// removed in the cart afterwards without touching what is sent.
struct UploadOrder
{
    QString FileName;
    QString CartInfoLine; // ends in CR LF

    static UploadOrder FromOrder(const TOrder &Order);
};

// Everything one upload is given, fixed when it begins: who sends, which photos with which
// prints, and where to.
struct UploadRequest
{
    QString UserID;
    QList<UploadOrder> Orders;
    UploadSettings Settings = UploadSettings::FromConfig();

    // A snapshot of the order list as it is now.
    static UploadRequest FromOrders(
        const QString &UserID, const QList<TOrder *> &Orders, const UploadSettings &Settings);
};
