#pragma once

#include <QString>

#include <exception>
#include <utility>

// The general error display: shows an error's text in a message box titled with the program's
// title, over the active window, which goes on with its state. Usable from any window on the
// GUI thread.
void ShowException(const QString &Text);
void ShowException(const std::exception_ptr &Error);

// Runs one event handler and hands whatever it throws to the general error display, so that the
// exception never travels through Qt's own frames.
template<class Handler> void RunHandler(Handler &&Body)
{
    try {
        std::forward<Handler>(Body)();
    } catch (...) {
        ShowException(std::current_exception());
    }
}
