#pragma once

#include <QString>
#include <QStringList>

// Starts a browser command (no shell) and watches it for a moment: a command that cannot be
// started, or that ends at once with a failure (a launcher that finds no browser), is reported;
// one that is still running, or has ended well, has taken the address. The started program
// outlives this one.
struct LaunchResult
{
    bool Started = false;
    QString Error; // why not, for the customer
};

LaunchResult LaunchAndWatch(const QString &Program, const QStringList &Arguments, int WatchMs);
