#include "common/AccessibilityProbe.h"

#include <QDebug>
#include <QMetaEnum>
#include <QStringList>

// Qt drops every accessibility event while accessibility is off, and only the platform's
// accessibility object can turn it on: a screen reader does that through the desktop bridge.
// Platforms without a bridge (offscreen, used by the tests) keep Qt's plain accessibility
// object, whose switch is not public API; Qt's own accessibility tests flip the same switch
// through Qt's private headers. These three declarations name just the exported functions
// used, so the tests need no private headers package.
class QPlatformAccessibility
{
public:
    void setActive(bool Active);
};
class QPlatformIntegration
{
public:
    // The base implementation, the one platforms without a bridge keep.
    QPlatformAccessibility *accessibility() const;
};
class QGuiApplicationPrivate
{
public:
    static QPlatformIntegration *platform_integration;
};

namespace {

AccessibilityProbe *g_probe = nullptr;

void SetAccessibilityActive(bool Active)
{
    if (QPlatformIntegration *platform = QGuiApplicationPrivate::platform_integration)
        if (QPlatformAccessibility *accessibility = platform->accessibility())
            accessibility->setActive(Active);
}

} // namespace

AccessibilityProbe::AccessibilityProbe()
{
    Q_ASSERT_X(!g_probe, "AccessibilityProbe", "one probe at a time");
    g_probe = this;
    QAccessible::installUpdateHandler(&AccessibilityProbe::updateHandler);
    SetAccessibilityActive(true);
    if (!Active())
        qWarning("AccessibilityProbe: this platform keeps accessibility off; no events arrive");
}

AccessibilityProbe::~AccessibilityProbe()
{
    SetAccessibilityActive(false);
    QAccessible::installUpdateHandler(nullptr);
    g_probe = nullptr;
}

void AccessibilityProbe::updateHandler(QAccessibleEvent *Event)
{
    if (!g_probe)
        return;
    QAccessible::State changed;
    if (Event->type() == QAccessible::StateChanged)
        changed = static_cast<QAccessibleStateChangeEvent *>(Event)->changedStates();
    QObject *object = Event->object();
    if (!object)
        if (QAccessibleInterface *iface = Event->accessibleInterface())
            object = iface->object();
    g_probe->m_events.append({Event->type(), object, Event->child(), changed});
}

int AccessibilityProbe::Count(QAccessible::Event Type, const QObject *Object) const
{
    int n = 0;
    for (const Event &e : m_events)
        if (e.Type == Type && (!Object || e.Object == Object))
            ++n;
    return n;
}

QString AccessibilityProbe::Describe(const QObject *Object) const
{
    const QMetaEnum types = QMetaEnum::fromType<QAccessible::Event>();
    QStringList seen;
    for (const Event &e : m_events)
        if (e.Object == Object)
            seen.append(QString::fromLatin1(types.valueToKey(e.Type)));
    return QStringLiteral("events of %1: [%2]")
        .arg(Object ? Object->objectName() : QStringLiteral("null"), seen.join(u", "));
}

QAccessibleInterface *AccessibilityProbe::Interface(QObject *Object)
{
    return Object ? QAccessible::queryAccessibleInterface(Object) : nullptr;
}

QString AccessibilityProbe::Name(QObject *Object)
{
    QAccessibleInterface *iface = Interface(Object);
    return iface ? iface->text(QAccessible::Name) : QString();
}

QAccessible::Role AccessibilityProbe::Role(QObject *Object)
{
    QAccessibleInterface *iface = Interface(Object);
    return iface ? iface->role() : QAccessible::NoRole;
}

QAccessible::State AccessibilityProbe::State(QObject *Object)
{
    QAccessibleInterface *iface = Interface(Object);
    return iface ? iface->state() : QAccessible::State();
}

bool AccessibilityProbe::DoAction(QObject *Object, const QString &Action)
{
    QAccessibleInterface *iface = Interface(Object);
    QAccessibleActionInterface *actions = iface ? iface->actionInterface() : nullptr;
    if (!actions || !actions->actionNames().contains(Action))
        return false;
    actions->doAction(Action);
    return true;
}
