#pragma once

#include <QApplication>

// The application object. Any exception that escapes an event handler goes to the general
// error display (ui/ErrorDisplay.h); the window that was active goes on with its state.
class KestrunApplication : public QApplication
{
    Q_OBJECT

public:
    KestrunApplication(int &argc, char **argv);

    bool notify(QObject *Receiver, QEvent *Event) override;
};
