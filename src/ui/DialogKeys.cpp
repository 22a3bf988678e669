#include "ui/DialogKeys.h"

#include <QButtonGroup>
#include <QDialog>
#include <QKeyEvent>
#include <QPushButton>

namespace {

class EnterPresses : public QObject
{
public:
    explicit EnterPresses(QAbstractButton &Button)
        : QObject(&Button)
        , m_button(Button)
    { }

protected:
    bool eventFilter(QObject *Watched, QEvent *Event) override
    {
        if (Watched == &m_button && Event->type() == QEvent::KeyPress) {
            const auto *key = static_cast<QKeyEvent *>(Event);
            const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
            if (enter && key->modifiers() == Qt::NoModifier) {
                if (!key->isAutoRepeat() && m_button.isEnabled())
                    m_button.click();
                return true;
            }
        }
        return QObject::eventFilter(Watched, Event);
    }

private:
    QAbstractButton &m_button;
};

} // namespace

void SetDialogKeys(QDialog &Dialog, QPushButton *Ok)
{
    // A focused button that is not auto-default would hand Enter on to the default button:
    // Enter on Cancel would then be OK.
    for (QPushButton *button : Dialog.findChildren<QPushButton *>())
        button->setAutoDefault(true);
    if (Ok)
        Ok->setDefault(true);
}

void PressOnEnter(QAbstractButton &Button)
{
    Button.installEventFilter(new EnterPresses(Button));
}

void TabToChecked(QAbstractButton &Checked)
{
    QList<QAbstractButton *> buttons;
    if (Checked.group())
        buttons = Checked.group()->buttons();
    else if (Checked.autoExclusive() && Checked.parentWidget())
        buttons = Checked.parentWidget()->findChildren<QAbstractButton *>(
            QString(), Qt::FindDirectChildrenOnly);
    const auto inGroup = [&Checked](QAbstractButton *Button) {
        return Button->isCheckable() && (Checked.group() || Button->autoExclusive());
    };
    // A checked button that cannot take the focus (a disabled "none chosen") hands Tab to the
    // group's first enabled one; otherwise Tab would pass the group by.
    const QAbstractButton *target = &Checked;
    if (!Checked.isEnabled())
        for (QAbstractButton *button : buttons)
            if (inGroup(button) && button->isEnabled()) {
                target = button;
                break;
            }
    for (QAbstractButton *button : buttons) {
        if (!inGroup(button))
            continue;
        const Qt::FocusPolicy policy = button->focusPolicy();
        button->setFocusPolicy(button == target ? Qt::FocusPolicy(policy | Qt::TabFocus)
                                                : Qt::FocusPolicy(policy & ~Qt::TabFocus));
    }
}
