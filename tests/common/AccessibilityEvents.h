#pragma once

#include <QAccessible>
#include <QList>
#include <QPointer>
#include <QString>

// Qt sends accessibility events only while a screen reader listens. QtGui exports the switch
// that the desktop bridge throws, but its headers are private (not installed here): these two
// declarations reach it. The offscreen platform keeps Qt's default accessibility object, which
// is what QPlatformIntegration::accessibility() of the base class returns.
class QPlatformAccessibility
{
public:
    void setActive(bool Active);
};
class QPlatformIntegration
{
public:
    QPlatformAccessibility *accessibility() const;
};
class QGuiApplicationPrivate
{
public:
    static QPlatformIntegration *platform_integration;
};

// Records the accessibility events the program sends, as a screen reader would receive them:
// the event's kind, its object, and the name the object's interface gives at that moment.
// One recorder at a time; it listens from construction to destruction.
class AccessibilityEvents
{
public:
    struct Event
    {
        QAccessible::Event Type;
        QPointer<QObject> Object;
        QString Name;
    };

    AccessibilityEvents()
    {
        current() = this;
        QAccessible::installUpdateHandler(&AccessibilityEvents::handle);
        if (QGuiApplicationPrivate::platform_integration)
            if (QPlatformAccessibility *a
                = QGuiApplicationPrivate::platform_integration->accessibility())
                a->setActive(true);
    }
    ~AccessibilityEvents()
    {
        QAccessible::installUpdateHandler(nullptr);
        current() = nullptr;
    }
    AccessibilityEvents(const AccessibilityEvents &) = delete;
    AccessibilityEvents &operator=(const AccessibilityEvents &) = delete;

    // False when events cannot be had on this platform (another platform plugin than
    // offscreen keeps its own switch).
    static bool Active() { return QAccessible::isActive(); }

    void Clear() { m_events.clear(); }
    const QList<Event> &Events() const { return m_events; }

    // The names that NameChanged events of Object carried, in order.
    QStringList NamesOf(const QObject *Object) const
    {
        QStringList out;
        for (const Event &e : m_events)
            if (e.Type == QAccessible::NameChanged && e.Object == Object)
                out.append(e.Name);
        return out;
    }

private:
    static AccessibilityEvents *&current()
    {
        static AccessibilityEvents *recorder = nullptr;
        return recorder;
    }
    static void handle(QAccessibleEvent *E)
    {
        AccessibilityEvents *self = current();
        if (!self)
            return;
        QAccessibleInterface *iface = E->accessibleInterface();
        self->m_events.append(
            {E->type(), E->object(), iface ? iface->text(QAccessible::Name) : QString()});
    }

    QList<Event> m_events;
};
