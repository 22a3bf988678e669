#include "ui/Icons.h"

#include <QString>

namespace {

const char *const IconFiles[KbIconCount] = {
    "add-photos",
    "waiting-list",
    "select-all",
    "deselect",
    "empty-list",
    "reset-choices",
    "order-photos",
    "put-on-list",
};

} // namespace

void InitResources()
{
    // The pictures live in a static library, whose resources are not registered by themselves.
    static const bool registered = [] {
        Q_INIT_RESOURCE(resources);
        return true;
    }();
    Q_UNUSED(registered);
}

QIcon ImageList1(int Index)
{
    if (Index < 0 || Index >= KbIconCount)
        return QIcon();
    InitResources();
    return QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(IconFiles[Index])));
}

QIcon WaitIcon()
{
    InitResources();
    return QIcon(QStringLiteral(":/icons/wait.svg"));
}
