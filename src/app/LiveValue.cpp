#include "app/LiveValue.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QPointer>
#include <QString>
#include <QTextDocumentFragment>
#include <QTimer>

namespace {

const char kLiveRegion[] = "trelvaneLiveRegion";
const char kAnnouncing[] = "trelvaneLiveRegionAnnouncing";
const char kLastRead[] = "trelvaneLiveRegionLastRead";

// What a screen reader reads out of the region: its labels' texts.
QString readOut(const QWidget *region)
{
    QStringList texts;
    if (const auto *label = qobject_cast<const QLabel *>(region))
        texts << label->text();
    for (const QLabel *label : region->findChildren<QLabel *>())
        if (label->isVisibleTo(region))
            texts << label->text();
    return texts.join(QLatin1Char('\n'));
}

// Qt tells assistive technology itself when the region is shown: that reading counts.
class ShownWatcher final : public QObject
{
public:
    using QObject::QObject;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show)
            watched->setProperty(kLastRead, readOut(static_cast<QWidget *>(watched)));
        return false;
    }
};

// A live region as assistive technology sees it: a notification; a label keeps its text as
// its name, as a label would.
class LiveRegionAccessible final : public QAccessibleWidget
{
public:
    explicit LiveRegionAccessible(QWidget *region)
        : QAccessibleWidget(region, QAccessible::Notification)
    {}
    QString text(QAccessible::Text t) const override
    {
        const auto *label = qobject_cast<const QLabel *>(widget());
        if (t != QAccessible::Name || !label || !widget()->accessibleName().isEmpty())
            return QAccessibleWidget::text(t);
        const bool rich =
            label->textFormat() == Qt::RichText ||
            (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(label->text()));
        return rich ? QTextDocumentFragment::fromHtml(label->text()).toPlainText() : label->text();
    }
};

QAccessibleInterface *liveRegionFactory(const QString &, QObject *object)
{
    if (object && object->isWidgetType() && object->property(kLiveRegion).toBool())
        return new LiveRegionAccessible(static_cast<QWidget *>(object));
    return nullptr;
}

} // namespace

void showValueToAssistiveTechnology(QLabel *label, const QString &role)
{
    label->setAccessibleName(QString());
    label->setAccessibleDescription(role);
}

void makeLiveRegion(QWidget *region)
{
    // Factories installed later are asked first: this one comes after Qt's own widget
    // factory, which QApplication installs, so it has to wait for the application.
    static const bool installed = [] {
        QAccessible::installFactory(liveRegionFactory);
        return true;
    }();
    Q_UNUSED(installed);
    Q_ASSERT(qApp);
    region->setProperty(kLiveRegion, true);
    region->installEventFilter(new ShownWatcher(region));
    // An interface Qt made before the mark keeps the old role: have it made again.
    if (QAccessibleInterface *made = QAccessible::queryAccessibleInterface(region);
        made && made->role() != QAccessible::Notification)
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
}

void announceLiveRegion(QWidget *region)
{
    if (!region || region->property(kAnnouncing).toBool())
        return;
    region->setProperty(kAnnouncing, true);
    QTimer::singleShot(0, region, [region = QPointer<QWidget>(region)] {
        if (!region)
            return;
        region->setProperty(kAnnouncing, false);
        if (!QAccessible::isActive() || !region->isVisible())
            return;
        // Just shown with these texts: already read out once.
        const QString text = readOut(region);
        if (region->property(kLastRead).toString() == text)
            return;
        region->setProperty(kLastRead, text);
        // Shown again: the notification is read out with what it holds now.
        QAccessibleEvent shown(region.data(), QAccessible::ObjectShow);
        QAccessible::updateAccessibility(&shown);
    });
}
