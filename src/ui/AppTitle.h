#pragma once

#include <QString>

// The program's name as the customer sees it: task bar, title of the standard message dialogs
// and of the general error display.
inline QString AppTitle()
{
    return QStringLiteral("케스트런 브림베일");
}
