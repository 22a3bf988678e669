#pragma once

#include <QSpinBox>

// A print quantity field of the batch panel: digits only, at most four (0 ... 9999), steps of
// one. Emptying the field is a quantity of 0, so clearing it with Backspace already reaches
// every order, as each keystroke does.
class TQuantitySpinEdit : public QSpinBox
{
    Q_OBJECT

public:
    explicit TQuantitySpinEdit(QWidget *Parent = nullptr)
        : QSpinBox(Parent)
    {
        setRange(0, 9999);
        setSingleStep(1);
        setValue(0);
        setKeyboardTracking(true);
        setAccelerated(false);
    }

protected:
    QValidator::State validate(QString &Input, int &Pos) const override
    {
        if (Input.isEmpty())
            return QValidator::Acceptable;
        for (const QChar c : Input)
            if (!c.isDigit() || c.unicode() > '9')
                return QValidator::Invalid;
        if (Input.size() > 4)
            return QValidator::Invalid;
        return QSpinBox::validate(Input, Pos);
    }

    int valueFromText(const QString &Text) const override
    {
        return Text.isEmpty() ? 0 : QSpinBox::valueFromText(Text);
    }
};
