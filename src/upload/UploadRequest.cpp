#include "upload/UploadRequest.h"

#include "model/uBrimvaleOrders.h"

UploadOrder UploadOrder::Of(const TOrder &Order)
{
    return {Order.FileName, Order.CartInfoLine()};
}

UploadRequest UploadRequest::Of(
    const QString &UserID, const QList<TOrder *> &Orders, const UploadSettings &Settings)
{
    UploadRequest request;
    request.UserID = UserID;
    request.Settings = Settings;
    request.Orders.reserve(Orders.size());
    for (const TOrder *order : Orders)
        request.Orders.append(UploadOrder::Of(*order));
    return request;
}
