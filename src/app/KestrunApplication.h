#pragma once

#include <QApplication>

#include <exception>
#include <utility>

// The application object. Its general error display shows any exception that escapes an event
// handler in a message box with the error's text, titled with the application title; the window
// that was active goes on with its state.
class KestrunApplication : public QApplication
{
    Q_OBJECT

public:
    KestrunApplication(int &argc, char **argv);

    bool notify(QObject *Receiver, QEvent *Event) override;

    // The general error display; usable from any window on the GUI thread.
    static void ShowException(const QString &Text);
    static void ShowException(const std::exception_ptr &Error);
};

// Runs one event handler and hands whatever it throws to the general error display, so that the
// exception never travels through Qt's own frames.
template<class Handler> void RunHandler(Handler &&Body)
{
    try {
        std::forward<Handler>(Body)();
    } catch (...) {
        KestrunApplication::ShowException(std::current_exception());
    }
}
