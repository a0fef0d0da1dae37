#include "app/F_VIEW_USERS.h"

#include "app/F_MAIN.h"
#include "app/LiveValue.h"
#include "enroll/TemplateBackup.h"
#include "enroll/TemplateNumberRequest.h"
#include "enroll/UserDeletion.h"
#include "enroll/UserListPages.h"
#include "link/Supervision.h"

#include <QCoreApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

namespace {

template <typename T> T *named(T *object, const char *name)
{
    object->setObjectName(QString::fromLatin1(name));
    return object;
}

QString usersCaption(int count)
{
    return QString::fromLatin1(F_VIEW_USERS::kCaption) + QStringLiteral(" (") +
           QString::number(count) + QStringLiteral(" users)");
}

} // namespace

// Not a child widget of the main window: the banner disables the main window while it
// shows a message, and Qt disables every window a disabled widget owns, so a child window
// would take no input after each delete. Modal over the whole application instead, and
// kept above the main window as its transient window.
F_VIEW_USERS::F_VIEW_USERS(F_MAIN &w) : QDialog(nullptr), w(w)
{
    setObjectName(QStringLiteral("F_VIEW_USERS"));
    setWindowTitle(QString::fromLatin1(kCaption));
    setWindowModality(Qt::ApplicationModal);
    buildControls();
    // A line is chosen when the operator selects it: a click, or the keyboard moving the
    // selection (arrows, Space, Enter). Tab into the list makes line 1 current without
    // selecting it; that chooses nothing.
    connect(LST_USERS, &QListWidget::itemClicked, this, &F_VIEW_USERS::LST_USERS_Click);
    connect(LST_USERS, &QListWidget::itemSelectionChanged, this, [this] {
        if (m_removingLine)
            return;
        if (LST_USERS->selectedItems().isEmpty()) {
            B_SYNC->setEnabled(false);
            B_DELETE->setEnabled(false);
        } else if (m_loaded) {
            LST_USERS_Click();
        }
    });
    // Enter chooses the line that has the focus, and goes no further: the window would
    // otherwise press its default button ("Backup templates ...") as well.
    LST_USERS->installEventFilter(this);
    connect(B_DELETE, &QPushButton::clicked, this, &F_VIEW_USERS::B_DELETE_Click);
    connect(B_SYNC, &QPushButton::clicked, this, &F_VIEW_USERS::B_SYNC_Click);
    connect(B_BACKUP, &QPushButton::clicked, this, &F_VIEW_USERS::B_BACKUP_Click);
    connect(B_IP_ADD, &QPushButton::clicked, this, &F_VIEW_USERS::B_IP_ADD_Click);
}

F_VIEW_USERS::~F_VIEW_USERS() = default;

void F_VIEW_USERS::buildControls()
{
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(0xC0, 0xE0, 0xFF)); // light blue
    setPalette(palette);

    // The heading is drawn in the list's fixed font, each word over its column: a line is
    // the user number padded to column 37, one blank and the count.
    QFont fixed(QStringLiteral("Monospace"));
    fixed.setStyleHint(QFont::TypeWriter);
    Label1 = named(
        new QLabel(
            QStringLiteral("User Number").leftJustified(UserListPages::kNumberColumn + 1, u' ') +
                QStringLiteral("Nb template(s)"),
            this),
        "Label1");
    Label1->setFont(fixed);
    AFF_SOURCE = named(new QLabel(QStringLiteral("COMM X"), this), "AFF_SOURCE");
    AFF_SOURCE->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    AFF_SOURCE->setStyleSheet(QStringLiteral("color: #00007f;"));
    LST_USERS = named(new QListWidget(this), "LST_USERS");
    LST_USERS->setSelectionMode(QAbstractItemView::SingleSelection);
    LST_USERS->setUniformItemSizes(true); // ten thousand lines fill at once
    LST_USERS->setFont(fixed);
    // The list draws its lines inside its frame and the item margin: the heading starts there.
    Label1->setContentsMargins(
        LST_USERS->frameWidth() +
            LST_USERS->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, LST_USERS) + 1,
        0, 0, 0);
    B_BACKUP =
        named(new QPushButton(QStringLiteral("Backup templates from Trelvane to Computer"), this),
              "B_BACKUP");
    B_SYNC = named(new QPushButton(QStringLiteral("Synchronize a template"), this), "B_SYNC");
    B_SYNC->setEnabled(false);
    B_DELETE = named(new QPushButton(QStringLiteral("Delete"), this), "B_DELETE");
    B_DELETE->setEnabled(false);
    B_IP_ADD = named(new QPushButton(QStringLiteral("OK"), this), "B_IP_ADD");

    FR_WAIT = named(new QFrame(this), "FR_WAIT");
    FR_WAIT->setStyleSheet(
        QStringLiteral("QFrame#FR_WAIT { background: #d0352b; } QLabel { color: white; }"));
    AFF_WAIT = named(new QLabel(QStringLiteral("Please wait ..."), FR_WAIT), "AFF_WAIT");
    AFF_NB_USERS = named(new QLabel(QStringLiteral("0 users"), FR_WAIT), "AFF_NB_USERS");
    AFF_PAGE = named(new QLabel(FR_WAIT), "AFF_PAGE");
    // The unit and the counts come from outside: shown as they are, never as markup.
    for (QLabel *label : {Label1, AFF_SOURCE, AFF_WAIT, AFF_NB_USERS, AFF_PAGE})
        label->setTextFormat(Qt::PlainText);
    auto *waitLayout = new QHBoxLayout(FR_WAIT);
    waitLayout->addWidget(AFF_WAIT);
    waitLayout->addWidget(AFF_PAGE);
    waitLayout->addStretch();
    waitLayout->addWidget(AFF_NB_USERS);
    FR_WAIT->hide();

    auto *top = new QHBoxLayout;
    top->addWidget(Label1);
    top->addStretch();
    top->addWidget(AFF_SOURCE);
    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {B_BACKUP, B_SYNC, B_DELETE, B_IP_ADD})
        buttons->addWidget(b);
    auto *root = new QVBoxLayout(this);
    root->addLayout(top);
    root->addWidget(FR_WAIT);
    root->addWidget(LST_USERS, 1);
    root->addLayout(buttons);
    resize(560, 420);

    // Names for assistive technology; labels whose text changes keep it as their name.
    LST_USERS->setAccessibleName(QStringLiteral("Users of the unit"));
    LST_USERS->setAccessibleDescription(
        QStringLiteral("Each line: user number, then the number of templates"));
    Label1->setAccessibleName(QStringLiteral("User Number, Nb template(s)"));
    AFF_SOURCE->setAccessibleName(AFF_SOURCE->text());
    AFF_NB_USERS->setAccessibleName(AFF_NB_USERS->text());
    AFF_WAIT->setAccessibleName(AFF_WAIT->text());
    for (QPushButton *b : {B_BACKUP, B_SYNC, B_DELETE, B_IP_ADD})
        b->setAccessibleName(b->text());
    B_IP_ADD->setAccessibleDescription(QStringLiteral("Close the list"));
}

bool F_VIEW_USERS::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == LST_USERS && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (QListWidgetItem *item = LST_USERS->currentItem())
                LST_USERS->setCurrentItem(item); // selects it, as a click does
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void F_VIEW_USERS::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (windowHandle() && w.windowHandle())
        windowHandle()->setTransientParent(w.windowHandle());
    // The list is read once the window is on screen, so that the operator sees it wait.
    if (!m_loadStarted) {
        m_loadStarted = true;
        QTimer::singleShot(0, this, &F_VIEW_USERS::Form_Load);
    }
}

void F_VIEW_USERS::Form_Load()
{
    // Let the window appear before the read: a serial read serves no events until it ends.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    // Only this read fills the window: the connections end with it.
    TemplateNumberRequest &request = w.templateNumberRequest();
    using Request = TemplateNumberRequest;
    const QList<QMetaObject::Connection> shown{
        connect(&request, &Request::listRequestStarted, this, &F_VIEW_USERS::listRequestStarted),
        connect(&request, &Request::listPageRequested, this, &F_VIEW_USERS::listPageRequested),
        connect(&request, &Request::listRead, this, &F_VIEW_USERS::listRead),
        connect(&request, &Request::listSourceKnown, this, &F_VIEW_USERS::listSourceKnown),
        connect(&request, &Request::listRequestEnded, this, &F_VIEW_USERS::listRequestEnded)};
    request.B_REQ_TMP_NO_Click();
    for (const QMetaObject::Connection &connection : shown)
        disconnect(connection);
    m_loaded = true;
    emit loaded();
}

void F_VIEW_USERS::listRequestStarted()
{
    setWindowEnabled(this, false);
    LST_USERS->clear();
    AFF_NB_USERS->setText(QStringLiteral("0 users"));
    AFF_NB_USERS->setAccessibleName(AFF_NB_USERS->text());
    FR_WAIT->show();
    repaint();
}

void F_VIEW_USERS::listPageRequested(int page)
{
    AFF_PAGE->setText(QStringLiteral("Page %1").arg(page));
    AFF_PAGE->setAccessibleName(AFF_PAGE->text());
    // A page read from the serial port serves no events: paint the panel now.
    FR_WAIT->repaint();
}

void F_VIEW_USERS::listRead(const QStringList &lines)
{
    LST_USERS->setUpdatesEnabled(false);
    LST_USERS->addItems(lines);
    LST_USERS->setUpdatesEnabled(true);
    AFF_NB_USERS->setText(QString::number(lines.size()) + QStringLiteral(" users"));
    AFF_NB_USERS->setAccessibleName(AFF_NB_USERS->text());
    showCount();
}

void F_VIEW_USERS::listSourceKnown(const QString &source)
{
    const bool changed = AFF_SOURCE->text() != source;
    AFF_SOURCE->setText(source);
    AFF_SOURCE->setAccessibleName(source);
    if (changed)
        AFF_SOURCE_Change();
}

void F_VIEW_USERS::listRequestEnded()
{
    FR_WAIT->hide();
    setWindowEnabled(this, true);
}

void F_VIEW_USERS::showCount()
{
    setWindowTitle(usersCaption(LST_USERS->count()));
}

void F_VIEW_USERS::AFF_SOURCE_Change()
{
    if (AFF_SOURCE->text().toUpper().contains(QStringLiteral("IP:"))) {
        // A unit reached over TCP is not backed up or synchronized from here.
        B_BACKUP->hide();
        B_SYNC->hide();
    } else {
        B_DELETE->show();
        B_BACKUP->show();
        B_SYNC->show();
    }
}

QListWidgetItem *F_VIEW_USERS::selectedLine() const
{
    const QList<QListWidgetItem *> selected = LST_USERS->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

void F_VIEW_USERS::LST_USERS_Click()
{
    const QListWidgetItem *item = selectedLine();
    if (!item)
        return;
    w.INP_USER_NUMBER->setText(UserListPages::userOfLine(item->text()));
    B_SYNC->setEnabled(true);
    B_DELETE->setEnabled(true);
}

void F_VIEW_USERS::B_DELETE_Click()
{
    QListWidgetItem *item = selectedLine();
    if (!item)
        return;
    const QString user = UserListPages::userOfLine(item->text());
    w.INP_USER_NUMBER->setText(user);
    // Asked before anything goes, the line included: No leaves the window as it was.
    if (!w.userDeletion().confirmDeletion(user))
        return;
    // Removing the line moves the current row to a neighbour: that is no click, and must
    // not put the neighbour's number in place of the user being deleted.
    m_removingLine = true;
    delete LST_USERS->takeItem(LST_USERS->row(item));
    LST_USERS->setCurrentRow(-1);
    m_removingLine = false;
    showCount();
    w.userDeletion().deleteConfirmed();
    B_SYNC->setEnabled(false);
    B_DELETE->setEnabled(false);
}

void F_VIEW_USERS::B_SYNC_Click()
{
    const QListWidgetItem *item = selectedLine();
    if (!item)
        return;
    w.INP_USER_NUMBER->setText(UserListPages::userOfLine(item->text()));
    w.templateBackup().armTrigger();
    w.AFF_LOG_MSG(QStringLiteral("Synchronize template number: ") + w.INP_USER_NUMBER->text(), 2);
}

void F_VIEW_USERS::B_BACKUP_Click()
{
    QStringList lines;
    lines.reserve(LST_USERS->count());
    for (int i = 0; i < LST_USERS->count(); ++i)
        lines.append(LST_USERS->item(i)->text());
    w.templateBackup().backupListedUsers(lines);
}

void F_VIEW_USERS::B_IP_ADD_Click()
{
    close();
}

void F_VIEW_USERS::done(int result)
{
    // The list is being read: the window closes when the read is over.
    if (!m_loaded && m_loadStarted)
        return;
    Form_Unload();
    QDialog::done(result);
}

void F_VIEW_USERS::Form_Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    w.supervision().selectLink(0);
}
