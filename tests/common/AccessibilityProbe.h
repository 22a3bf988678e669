#pragma once

#include <QAccessible>
#include <QList>
#include <QPointer>
#include <QString>

// Turns accessibility on, as a screen reader does, and collects every accessibility event the
// program sends while it lives, by type and object. One probe at a time; create it before the
// windows under test, so their interfaces are made while accessibility is on, as they are for a
// customer with a screen reader. Needs a platform without its own accessibility bridge
// (offscreen, minimal); Active() tells whether it could turn accessibility on.
class AccessibilityProbe
{
public:
    struct Event
    {
        QAccessible::Event Type;
        QPointer<QObject> Object;
        int Child;
        QAccessible::State ChangedStates; // StateChanged only
    };

    AccessibilityProbe();
    ~AccessibilityProbe();
    AccessibilityProbe(const AccessibilityProbe &) = delete;
    AccessibilityProbe &operator=(const AccessibilityProbe &) = delete;

    static bool Active() { return QAccessible::isActive(); }

    void Clear() { m_events.clear(); }
    const QList<Event> &Events() const { return m_events; }
    // Events of this type, about Object when given (null: any object).
    int Count(QAccessible::Event Type, const QObject *Object = nullptr) const;
    // Every event type seen about Object, readable in a failure message.
    QString Describe(const QObject *Object) const;

    // What a screen reader reads: the object's interface and its texts and state.
    static QAccessibleInterface *Interface(QObject *Object);
    static QString Name(QObject *Object);
    static QAccessible::Role Role(QObject *Object);
    static QAccessible::State State(QObject *Object);
    // Runs an action of the object's action interface (pressAction(), toggleAction(), ...);
    // false when the object does not offer it.
    static bool DoAction(QObject *Object, const QString &Action);

private:
    static void updateHandler(QAccessibleEvent *Event);

    QList<Event> m_events;
};
