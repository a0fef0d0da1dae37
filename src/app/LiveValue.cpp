#include "app/LiveValue.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QEvent>
#include <QHash>
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
        if (label->isVisibleTo(region) && !label->text().isEmpty())
            texts << label->text();
    return texts.join(QLatin1Char(' '));
}

// Qt tells assistive technology that a widget was shown, but not that its children are now
// on screen too; a screen reader that remembers them from before the region was hidden
// would find nothing showing to read. Tell it of each child first.
void tellChildrenShown(QWidget *region)
{
    for (QWidget *child : region->findChildren<QWidget *>()) {
        if (!child->isVisibleTo(region))
            continue;
        QAccessibleEvent shown(child, QAccessible::ObjectShow);
        QAccessible::updateAccessibility(&shown);
    }
}

// A screen reader on a busy PC may come to the notification after the banner has gone: the
// region's name is what it read out last, so that it is spoken all the same.
void tellNameChanged(QWidget *region)
{
    if (qobject_cast<QLabel *>(region))
        return; // a label is named by its text, and Qt tells of each change
    QAccessibleEvent named(region, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&named);
}

// Qt tells assistive technology itself when the region is shown: that reading counts.
class ShownWatcher final : public QObject
{
public:
    using QObject::QObject;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show) {
            auto *region = static_cast<QWidget *>(watched);
            watched->setProperty(kLastRead, readOut(region));
            if (QAccessible::isActive()) {
                // Before Qt's own event for the region.
                tellNameChanged(region);
                tellChildrenShown(region);
            }
        }
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
        if (t != QAccessible::Name || !widget()->accessibleName().isEmpty())
            return QAccessibleWidget::text(t);
        if (!label)
            return widget()->property(kLastRead).toString();
        const bool rich =
            label->textFormat() == Qt::RichText ||
            (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(label->text()));
        return rich ? QTextDocumentFragment::fromHtml(label->text()).toPlainText() : label->text();
    }
};

// Set while a window is enabled or disabled as a whole.
QAccessible::UpdateHandler s_previousHandler = nullptr;
// The control that had the focus when the window was disabled: it says that it is disabled,
// and so again that it is enabled.
QPointer<QWidget> s_toldControl;

bool isQuietStateChange(QAccessibleEvent *event)
{
    if (event->type() != QAccessible::StateChanged)
        return false;
    QAccessible::State changed = static_cast<QAccessibleStateChangeEvent *>(event)->changedStates();
    if (!changed.disabled)
        return false;
    changed.disabled = false;
    if (changed != QAccessible::State())
        return false; // something else changed too
    const QObject *object = event->object();
    if (object && object->isWidgetType() && static_cast<const QWidget *>(object)->isWindow())
        return false; // the window itself says it is disabled
    // The control that had the focus says it lost it and is greyed.
    return object != s_toldControl;
}

void quietEnableHandler(QAccessibleEvent *event)
{
    if (isQuietStateChange(event))
        return;
    if (s_previousHandler) {
        s_previousHandler(event);
        return;
    }
    // Qt offers no other way to hand an event on to the platform's bridge than asking for
    // it again without a handler. (Qt would pass a table model change to the table a second
    // time this way; enabling a window raises none.)
    QAccessible::installUpdateHandler(nullptr);
    QAccessible::updateAccessibility(event);
    QAccessible::installUpdateHandler(quietEnableHandler);
}

const char kCoveredBy[] = "trelvaneCoveredBy";

// A group under a panel: not showing while the panel is.
class CoveredGroupAccessible final : public QAccessibleWidget
{
public:
    explicit CoveredGroupAccessible(QWidget *group)
        : QAccessibleWidget(group, QAccessible::Grouping)
    {}
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        const auto *panel =
            qobject_cast<const QWidget *>(widget()->property(kCoveredBy).value<QObject *>());
        if (panel && panel->isVisible())
            s.invisible = true;
        return s;
    }
};

// Tells assistive technology that the group went out of sight or came back with the panel.
class PanelWatcher final : public QObject
{
public:
    PanelWatcher(QWidget *group, QWidget *panel) : QObject(panel), m_group(group) {}
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() != QEvent::Show && event->type() != QEvent::Hide)
            return false;
        if (!m_group || !QAccessible::isActive() || !m_group->isVisible())
            return false;
        QAccessibleEvent changed(m_group.data(), event->type() == QEvent::Show
                                                     ? QAccessible::ObjectHide
                                                     : QAccessible::ObjectShow);
        QAccessible::updateAccessibility(&changed);
        return false;
    }

private:
    QPointer<QWidget> m_group;
};

QAccessibleInterface *liveRegionFactory(const QString &, QObject *object);

void installFactory()
{
    // Factories installed later are asked first: this one comes after Qt's own widget
    // factory, which QApplication installs, so it has to wait for the application.
    static const bool installed = [] {
        QAccessible::installFactory(liveRegionFactory);
        return true;
    }();
    Q_UNUSED(installed);
    Q_ASSERT(qApp);
}

// An interface Qt made before a mark keeps the old role and states: have it made again.
void forgetInterface(QWidget *widget)
{
    if (QAccessibleInterface *made = QAccessible::queryAccessibleInterface(widget))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
}

QAccessibleInterface *liveRegionFactory(const QString &, QObject *object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    if (object->property(kLiveRegion).toBool())
        return new LiveRegionAccessible(static_cast<QWidget *>(object));
    if (object->property(kCoveredBy).value<QObject *>())
        return new CoveredGroupAccessible(static_cast<QWidget *>(object));
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
    installFactory();
    region->setProperty(kLiveRegion, true);
    region->installEventFilter(new ShownWatcher(region));
    forgetInterface(region);
}

void coverWithPanel(QWidget *group, QWidget *panel)
{
    installFactory();
    group->setProperty(kCoveredBy, QVariant::fromValue<QObject *>(panel));
    panel->installEventFilter(new PanelWatcher(group, panel));
    forgetInterface(group);
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
        tellNameChanged(region);
        tellChildrenShown(region);
        QAccessibleEvent shown(region.data(), QAccessible::ObjectShow);
        QAccessible::updateAccessibility(&shown);
    });
}

namespace {

// The control that had the keyboard focus in each window while it is disabled. Qt takes the
// focus from a window that is disabled and gives it to nobody when the window is enabled
// again: without this, an operator working by keyboard (or a screen reader, which follows
// the focus) would be left nowhere after every operation.
QHash<const QWidget *, QPointer<QWidget>> s_focusWhileDisabled;

void rememberFocus(QWidget *window)
{
    QWidget *focus = QApplication::focusWidget();
    if (focus && window->isAncestorOf(focus))
        s_focusWhileDisabled.insert(window, focus);
}

void restoreFocus(QWidget *window)
{
    const QPointer<QWidget> control = s_focusWhileDisabled.take(window);
    // Not onto a control the operation hid or left disabled, and not over a focus the
    // window was given meanwhile.
    if (!control || !control->isVisible() || !control->isEnabled())
        return;
    QWidget *focus = QApplication::focusWidget();
    if (focus && window->isAncestorOf(focus))
        return;
    control->setFocus(Qt::OtherFocusReason);
}

} // namespace

void setWindowEnabled(QWidget *window, bool enabled)
{
    if (window->isEnabled() == enabled)
        return;
    if (!enabled)
        rememberFocus(window);
    const QAccessible::UpdateHandler previous =
        QAccessible::installUpdateHandler(quietEnableHandler);
    const bool nested = previous == quietEnableHandler;
    if (!nested)
        s_previousHandler = previous;
    if (!enabled)
        s_toldControl = QApplication::focusWidget();
    window->setEnabled(enabled);
    QAccessible::installUpdateHandler(nested ? quietEnableHandler : previous);
    if (enabled) {
        s_toldControl = nullptr;
        restoreFocus(window);
    }
}
