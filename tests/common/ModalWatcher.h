#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

// Deals with the next modal window a test's action opens (a dialog's exec(), a message box):
// polls for it on the event loop and runs Handle on it once. Seen() says whether one came.
// It watches as long as it lives, so a window that comes late on a busy machine is still
// handled rather than left open for ever; TimeoutMs > 0 ends the watch earlier, for checks
// that no window comes.
class ModalWatcher
{
public:
    static constexpr int UntilDestroyed = 0;

    explicit ModalWatcher(std::function<void(QWidget *)> Handle, int TimeoutMs = UntilDestroyed)
        : m_state(std::make_shared<State>())
    {
        m_state->handle = std::move(Handle);
        m_state->clock.start();
        m_state->timeout = TimeoutMs;
        schedule(m_state);
    }
    ~ModalWatcher() { m_state->stopped = true; }

    bool Seen() const { return m_state->seen; }
    QString Text() const { return m_state->text; } // a message box's text
    QString Title() const { return m_state->title; } // the window's title
    QString ObjectName() const { return m_state->objectName; }

    // Closes a message box with its only button, any other dialog with Escape.
    static void Dismiss(QWidget *W)
    {
        if (auto *box = qobject_cast<QMessageBox *>(W))
            box->done(QMessageBox::Ok);
        else if (auto *dialog = qobject_cast<QDialog *>(W))
            dialog->reject();
    }

private:
    struct State
    {
        std::function<void(QWidget *)> handle;
        QElapsedTimer clock;
        int timeout = 0;
        bool seen = false;
        bool stopped = false;
        QString text, title, objectName;
    };

    static void schedule(std::shared_ptr<State> S)
    {
        QTimer::singleShot(10, qApp, [S] {
            if (S->stopped)
                return;
            // A window already open is dealt with even when the time is up: on a busy machine
            // the first look may come late, and a window left open would hold the test.
            QWidget *modal = QApplication::activeModalWidget();
            if (!modal || !modal->isVisible()) {
                if (S->timeout <= 0 || S->clock.elapsed() <= S->timeout)
                    schedule(S);
                return;
            }
            S->seen = true;
            S->stopped = true;
            S->title = modal->windowTitle();
            S->objectName = modal->objectName();
            if (auto *box = qobject_cast<QMessageBox *>(modal))
                S->text = box->text();
            S->handle(modal);
        });
    }

    std::shared_ptr<State> m_state;
};
