#include "ui/LiveLabel.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>
#include <QTextDocumentFragment>

namespace {

// The short name moves from accessibleName into this property: Qt announces a label's text
// change only while its accessibleName is empty.
constexpr char ShortNameProperty[] = "kbLiveLabelName";

QString PlainText(const QLabel *Label)
{
    const QString text = Label->text();
    const bool rich = Label->textFormat() == Qt::RichText
        || (Label->textFormat() == Qt::AutoText && Qt::mightBeRichText(text));
    return rich ? QTextDocumentFragment::fromHtml(text).toPlainText() : text;
}

class LiveLabelAccessible : public QAccessibleWidget
{
public:
    explicit LiveLabelAccessible(QLabel *Label)
        : QAccessibleWidget(Label, QAccessible::StaticText)
    { }

    QString text(QAccessible::Text Kind) const override
    {
        if (Kind != QAccessible::Name)
            return QAccessibleWidget::text(Kind);
        const auto *label = static_cast<const QLabel *>(object());
        const QString shortName = label->property(ShortNameProperty).toString();
        const QString text = PlainText(label);
        if (shortName.isEmpty())
            return text;
        if (text.isEmpty())
            return shortName;
        return shortName + QStringLiteral(": ") + text;
    }
};

QAccessibleInterface *LiveLabelFactory(const QString &, QObject *Object)
{
    auto *label = qobject_cast<QLabel *>(Object);
    if (label && label->property(ShortNameProperty).isValid())
        return new LiveLabelAccessible(label);
    return nullptr;
}

} // namespace

void ExposeLabelText(QLabel *Label)
{
    if (!Label || Label->property(ShortNameProperty).isValid())
        return;
    static const bool installed = [] {
        QAccessible::installFactory(LiveLabelFactory);
        return true;
    }();
    Q_UNUSED(installed);

    Label->setProperty(ShortNameProperty, Label->accessibleName());
    Label->setAccessibleName(QString());
    // With a screen reader running, Qt may already hold the plain label's interface: drop it so
    // the next question gets the one above.
    QAccessibleInterface *held = QAccessible::queryAccessibleInterface(Label);
    if (held && !dynamic_cast<LiveLabelAccessible *>(held))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(held));
}
