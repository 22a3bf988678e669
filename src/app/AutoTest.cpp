#include "app/AutoTest.h"

#include "app/MainFrm.h"
#include "folder/FolderPage.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QMouseEvent>
#include <QSpinBox>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace AutoTest {
namespace {

    constexpr int StepTimeoutMs = 60000;
    constexpr int PollMs = 50;

    struct Script
    {
        TfrmMain *Window = nullptr;
        QStringList Lines;
        int Next = 0;
        int Traced = -1;
        QElapsedTimer StepClock;
    };

    // Visible, enabled widgets named Name: the active modal window's first, then every window's.
    QList<QWidget *> findNamed(const QString &Name)
    {
        QList<QWidget *> roots;
        if (QWidget *modal = QApplication::activeModalWidget())
            roots.append(modal);
        for (QWidget *top : QApplication::topLevelWidgets())
            if (top->isVisible() && !roots.contains(top))
                roots.append(top);
        QList<QWidget *> found;
        for (QWidget *root : roots) {
            if (root->objectName() == Name && root->isVisible())
                found.append(root);
            for (QWidget *w : root->findChildren<QWidget *>(Name))
                if (w->isVisible() && w->isEnabled() && !found.contains(w))
                    found.append(w);
        }
        return found;
    }

    void fail(const Script &S, const QString &Why)
    {
        std::fprintf(stderr, "autotest: line %d \"%s\": %s\n", S.Next + 1,
            qPrintable(S.Lines.value(S.Next)), qPrintable(Why));
        std::fflush(stderr);
        std::_Exit(3);
    }

    void sendMouse(QWidget *W, QEvent::Type Type, QPoint Pos, Qt::MouseButtons Buttons)
    {
        QMouseEvent event(Type, Pos, W->mapToGlobal(Pos),
            Type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, Buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(W, &event);
    }

    void schedule(std::shared_ptr<Script> S, int Delay);

    enum class Outcome { NotYet, Done, MovedOn };

    // Before an action: the next step is scheduled first, so that it runs inside the loop of a
    // modal window the action opens.
    void moveOn(const std::shared_ptr<Script> &S)
    {
        ++S->Next;
        S->StepClock.restart();
        schedule(S, PollMs);
    }

    // Runs the current step once.
    Outcome tryStep(const std::shared_ptr<Script> &S)
    {
        const QStringList words = S->Lines[S->Next].split(u' ', Qt::SkipEmptyParts);
        const QString command = words.value(0);
        if (command == QLatin1String("folder")) {
            S->Window->Folders()->ShowFolder(S->Lines[S->Next].section(u' ', 1).trimmed());
            return Outcome::Done;
        }
        const QList<QWidget *> targets = findNamed(words.value(1));
        if (command == QLatin1String("wait"))
            return targets.isEmpty() ? Outcome::NotYet : Outcome::Done;
        if (command == QLatin1String("click")) {
            const int n = words.value(2, QStringLiteral("0")).toInt();
            QList<QAbstractButton *> buttons;
            for (QWidget *w : targets)
                if (auto *b = qobject_cast<QAbstractButton *>(w))
                    buttons.append(b);
            if (n >= buttons.size())
                return Outcome::NotYet;
            // The click may open a modal window: the next step runs inside its loop.
            QAbstractButton *button = buttons[n];
            moveOn(S);
            button->click();
            return Outcome::MovedOn;
        }
        if (command == QLatin1String("set")) {
            if (targets.isEmpty())
                return Outcome::NotYet;
            const QString value = words.mid(2).join(u' ');
            auto *spin = qobject_cast<QSpinBox *>(targets.first());
            auto *box = qobject_cast<QComboBox *>(targets.first());
            const int item = box ? box->findText(value) : -1;
            if (!spin && item < 0)
                fail(*S, QStringLiteral("neither a spin box nor an item of a drop-down box"));
            // Setting a value may open a modal window too.
            moveOn(S);
            if (spin) {
                spin->setFocus();
                spin->setValue(value.toInt());
            } else {
                box->setCurrentIndex(item);
            }
            return Outcome::MovedOn;
        }
        if (command == QLatin1String("drag")) {
            if (targets.isEmpty())
                return Outcome::NotYet;
            QWidget *w = targets.first();
            moveOn(S);
            const QPoint from = w->rect().center();
            const QPoint to = from + QPoint(words.value(2).toInt(), words.value(3).toInt());
            sendMouse(w, QEvent::MouseButtonPress, from, Qt::LeftButton);
            for (int step = 1; step <= 5; ++step)
                sendMouse(w, QEvent::MouseMove, from + (to - from) * step / 5, Qt::LeftButton);
            sendMouse(w, QEvent::MouseButtonRelease, to, Qt::NoButton);
            return Outcome::MovedOn;
        }
        fail(*S, QStringLiteral("unknown step"));
        return Outcome::NotYet;
    }

    void schedule(std::shared_ptr<Script> S, int Delay)
    {
        QTimer::singleShot(Delay, qApp, [S] {
            while (S->Next < S->Lines.size()) {
                const QString line = S->Lines[S->Next].trimmed();
                if (line.isEmpty() || line.startsWith(u'#')) {
                    ++S->Next;
                    continue;
                }
                break;
            }
            if (S->Next >= S->Lines.size())
                return;
            if (S->Traced != S->Next) {
                S->Traced = S->Next;
                std::fprintf(stderr, "autotest: %s\n", qPrintable(S->Lines[S->Next]));
                std::fflush(stderr);
            }
            switch (tryStep(S)) {
            case Outcome::MovedOn: // an action has scheduled the next step before it ran
                return;
            case Outcome::Done:
                ++S->Next;
                S->StepClock.restart();
                schedule(S, PollMs);
                return;
            case Outcome::NotYet:
                break;
            }
            if (S->StepClock.elapsed() > StepTimeoutMs)
                fail(*S, QStringLiteral("timed out"));
            schedule(S, PollMs);
        });
    }

} // namespace

bool StartIfRequested(TfrmMain &Window)
{
    const QString path = qEnvironmentVariable("KESTRUN_AUTOTEST");
    if (path.isEmpty())
        return true;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    auto script = std::make_shared<Script>();
    script->Window = &Window;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(u'\n'))
        script->Lines.append(line.trimmed());
    script->StepClock.start();
    schedule(script, PollMs);
    return true;
}

} // namespace AutoTest
