#include "upload/UploadRequest.h"

#include "model/uBrimvaleOrders.h"

UploadOrder UploadOrder::FromOrder(const TOrder &Order)
{
    return {Order.FileName, Order.CartInfoLine()};
}

UploadRequest UploadRequest::FromOrders(
    const QString &UserID, const QList<TOrder *> &Orders, const UploadSettings &Settings)
{
    UploadRequest request;
    request.UserID = UserID;
    request.Settings = Settings;
    request.Orders.reserve(Orders.size());
    for (const TOrder *order : Orders)
        request.Orders.append(UploadOrder::FromOrder(*order));
    return request;
}
