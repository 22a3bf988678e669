#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>

#include <functional>
#include <memory>

// Deals with the next message box that appears, also over a modal window that is itself open
// (ModalWatcher would take that window). Polls on the event loop, so it works inside the nested
// loop of whatever exec() is running; Handle runs once, on the box. It watches as long as it
// lives (a box that comes late on a busy machine is still answered); TimeoutMs > 0 ends the
// watch earlier.
class BoxWatcher
{
public:
    static constexpr int UntilDestroyed = 0;

    explicit BoxWatcher(std::function<void(QMessageBox *)> Handle, int TimeoutMs = UntilDestroyed)
        : m_state(std::make_shared<State>())
    {
        m_state->handle = std::move(Handle);
        m_state->timeout = TimeoutMs;
        m_state->clock.start();
        schedule(m_state);
    }
    ~BoxWatcher() { m_state->stopped = true; }

    bool Seen() const { return m_state->seen; }
    QString Text() const { return m_state->text; }
    QString Title() const { return m_state->title; }
    QString ObjectName() const { return m_state->objectName; }

private:
    struct State
    {
        std::function<void(QMessageBox *)> handle;
        QElapsedTimer clock;
        int timeout = 0;
        bool seen = false, stopped = false;
        QString text, title, objectName;
    };

    static void schedule(std::shared_ptr<State> S)
    {
        QTimer::singleShot(10, qApp, [S] {
            if (S->stopped)
                return;
            for (QWidget *w : QApplication::topLevelWidgets()) {
                auto *box = qobject_cast<QMessageBox *>(w);
                if (!box || !box->isVisible())
                    continue;
                S->seen = S->stopped = true;
                S->text = box->text();
                S->title = box->windowTitle();
                S->objectName = box->objectName();
                S->handle(box);
                return;
            }
            // a box already open is answered even when the time is up (see ModalWatcher)
            if (S->timeout <= 0 || S->clock.elapsed() <= S->timeout)
                schedule(S);
        });
    }

    std::shared_ptr<State> m_state;
};
