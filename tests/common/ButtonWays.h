#pragma once

#include "common/AccessibilityProbe.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTest>

// The ways a customer changes a radio button or a check box: with the mouse, the keyboard,
// an assistive tool's actions, and code that acts for the customer. Rows of a _data table name
// them; ChangeButton performs one. Checkable buttons offer an assistive tool only the toggle
// action (no press), which emits no click.
enum class ButtonWay { Click, Space, ArrowKey, ToggleAction, Code };
Q_DECLARE_METATYPE(ButtonWay)

inline const char *ButtonWayName(ButtonWay Way)
{
    switch (Way) {
    case ButtonWay::Click:
        return "mouse";
    case ButtonWay::Space:
        return "space";
    case ButtonWay::ArrowKey:
        return "arrow";
    case ButtonWay::ToggleAction:
        return "toggle-action";
    case ButtonWay::Code:
        return "code";
    }
    return "?";
}

// Turns Target on (a radio button) or over (a check box) by Way; false when it did not change.
// ArrowKey moves from the checked radio button before Target in reading order, so that one
// must be checked and Target must follow it in its group. The window must be shown.
inline bool ChangeButton(
    QAbstractButton *Target, ButtonWay Way, QAbstractButton *Previous = nullptr)
{
    const bool before = Target->isChecked();
    switch (Way) {
    case ButtonWay::Click:
        QTest::mouseClick(Target, Qt::LeftButton, Qt::NoModifier, QPoint(8, Target->height() / 2));
        break;
    case ButtonWay::Space:
        Target->setFocus(Qt::TabFocusReason);
        QTest::keyClick(Target, Qt::Key_Space);
        break;
    case ButtonWay::ArrowKey:
        if (!Previous)
            return false;
        Previous->setFocus(Qt::TabFocusReason);
        QTest::keyClick(Previous, Qt::Key_Down);
        break;
    case ButtonWay::ToggleAction:
        if (!AccessibilityProbe::DoAction(Target, QAccessibleActionInterface::toggleAction()))
            return false;
        break;
    case ButtonWay::Code:
        Target->setChecked(!before);
        break;
    }
    return QTest::qWaitFor([&] { return Target->isChecked() != before; }, 5000);
}
