// The main window as a view of the station's state: each field is shown by its control, and
// what the operator types, ticks or selects goes back into the state.
#include "app/F_MAIN.h"

#include "app/LiveValue.h"
#include "config/TargetEntry.h"
#include "util/Blanks.h"

#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPalette>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <utility>

namespace {

void showText(QLabel *label, const QString &text)
{
    if (label->text() != text)
        label->setText(text);
}

void showText(QLineEdit *edit, const QString &text)
{
    if (edit->text() != text)
        edit->setText(text);
}

LinkStatus statusOfCaption(const QString &caption)
{
    if (caption == captionOf(LinkStatus::Connected))
        return LinkStatus::Connected;
    if (caption == captionOf(LinkStatus::Error))
        return LinkStatus::Error;
    return LinkStatus::Disconnected;
}

QString skippedBecause(const QString &problem)
{
    return QStringLiteral("Skipped by enroll, delete and synchronize: ") + problem;
}

// Greys an entry whose address names no unit, with a tooltip saying why it is skipped.
void markAddressProblem(QListWidgetItem *item, const QListWidget *list)
{
    // Kept as it was typed, so that nothing of an older configuration file is lost, but shown
    // for what it is.
    const QString problem = TargetEntry::addressProblem(TargetEntry::addressOf(item->text()));
    if (problem.isEmpty()) {
        item->setData(Qt::ForegroundRole, QVariant());
        item->setToolTip(QString());
        return;
    }
    item->setForeground(list->palette().color(QPalette::Disabled, QPalette::Text));
    // A tooltip whose text looks like markup is read as markup: given as a paragraph, with
    // the typed text escaped, it reads as typed.
    item->setToolTip(QStringLiteral("<p>") + skippedBecause(problem).toHtmlEscaped() +
                     QStringLiteral("</p>"));
}

QList<TargetUnit> targetsShownIn(const QListWidget *list)
{
    QList<TargetUnit> targets;
    for (int row = 0; row < list->count(); ++row) {
        const QListWidgetItem *item = list->item(row);
        targets.append({item->text(), item->checkState() == Qt::Checked});
    }
    return targets;
}

int selectedRow(const QListWidget *list)
{
    const QList<QListWidgetItem *> selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->row(selected.first());
}

// Writes into the state whether read mode's frame was shown or hidden by a call of its own
// (not with its parent): what QWidget::isHidden() answers.
class ReadModeFrameWatcher : public QObject
{
public:
    ReadModeFrameWatcher(QWidget *frame, StationState &state) : QObject(frame), m_state(&state)
    {
        frame->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // The window's controls outlive the state when it is torn down.
        if (m_state &&
            (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent))
            m_state->setReadModeShown(!static_cast<QWidget *>(watched)->isHidden());
        return false;
    }

private:
    QPointer<StationState> m_state;
};

} // namespace

void F_MAIN::bindState()
{
    // The state starts as the controls were laid out. The parts already listen to it, but
    // this is no change of theirs to act on (a port number to open, settings to save).
    const QSignalBlocker quiet(&m_state);
    m_state.setSourceStatus(statusOfCaption(AFF_SERIAL_STATUS->text()));
    m_state.setTcpStatus(AFF_TCP_STATUS->text());
    m_state.setSerialPort(INP_SERIAL_PORT->text());
    m_state.setTcpAddress(INP_IP->text());
    m_state.setUserText(INP_USER_NUMBER->text());
    m_state.setQuality(AFF_SCORE->text());
    for (int line = 0; line < int(AFF_MSG.size()); ++line)
        m_state.setBannerLine(line, AFF_MSG[line]->text());
    m_state.setConfigFolder(AFF_CURDIR->text());
    m_state.setTemplatesFolder(AFF_DIR_TEMPLATES->text());
    m_state.setPrefix(INP_PREFIX->text());
    m_state.setSuffix(INP_SUFFIX->text());
    m_state.setLogging(SW_LOG->isChecked());
    m_state.setLogCaption(SW_LOG->text());
    m_state.setLastUser({AFF_LST_USER->text(), AFF_LST_USER_DATE->text(), AFF_LST_USER_TIME->text(),
                         AFF_IP_SERVER->text()});
    m_state.setHandshakePending(!FR_ERROR->isHidden());
    m_state.setPasswordPrompt(!FR_PASSWORD->isHidden());
    m_state.setPasswordResetOffered(!B_RESET_PASSWORD->isHidden());
    m_state.setBannerShown(!FR_MSG->isHidden());
    PIC_MSG->hide(); // no picture until the banner shows one

    connect(&m_state, &StationState::changed, this, &F_MAIN::showStateField);
    connect(&m_state, &StationState::focusRequested, this, &F_MAIN::focusField);
    connect(&m_state, &StationState::showNow, this, [this] {
        // Once the window is disabled and drawn so, only the banner changes.
        if (isEnabled() || std::exchange(m_disabledWindowUndrawn, false))
            repaint();
        else
            FR_MSG->repaint();
    });
    connect(&m_state, &StationState::windowWanted, this, &F_MAIN::SHOW_MAIN_WINDOW);

    // What the operator types, ticks and selects.
    connect(INP_USER_NUMBER, &QLineEdit::textChanged, &m_state, &StationState::setUserText);
    connect(INP_SERIAL_PORT, &QLineEdit::textChanged, &m_state, &StationState::setSerialPort);
    connect(INP_IP, &QLineEdit::textChanged, &m_state, &StationState::setTcpAddress);
    connect(INP_PREFIX, &QLineEdit::textChanged, &m_state, &StationState::setPrefix);
    connect(INP_SUFFIX, &QLineEdit::textChanged, &m_state, &StationState::setSuffix);
    connect(INP_PASSWORD, &QLineEdit::textChanged, &m_state, &StationState::setPasswordText);
    connect(SW_LOG, &QCheckBox::toggled, &m_state, &StationState::setLogging);
    connect(SW_COMM[0], &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            m_state.setSelectedLink(StationState::Link::Serial);
    });
    connect(SW_COMM[1], &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            m_state.setSelectedLink(StationState::Link::Tcp);
    });
    connect(SW_MODE[0], &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            m_state.setMode(StationState::Mode::Enroll);
    });
    connect(SW_MODE[1], &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            m_state.setMode(StationState::Mode::Read);
    });
    // The list tells what changed; the state takes just that, so that a list of thousands of
    // lines is not copied at each line.
    const auto targetAt = [this](int row) {
        const QListWidgetItem *item = LST_IP->item(row);
        return TargetUnit{item->text(), item->checkState() == Qt::Checked};
    };
    connect(LST_IP, &QListWidget::itemChanged, this, [this, targetAt](QListWidgetItem *item) {
        if (m_showingTargets)
            return;
        const QScopedValueRollback taking(m_takingTargets, true);
        m_state.setTarget(LST_IP->row(item), targetAt(LST_IP->row(item)));
    });
    connect(LST_IP->model(), &QAbstractItemModel::rowsInserted, this,
            [this, targetAt](const QModelIndex &, int first, int last) {
                if (m_showingTargets)
                    return;
                const QScopedValueRollback taking(m_takingTargets, true);
                for (int row = first; row <= last; ++row)
                    m_state.insertTarget(row, targetAt(row));
            });
    connect(LST_IP->model(), &QAbstractItemModel::rowsRemoved, this,
            [this](const QModelIndex &, int first, int last) {
                if (m_showingTargets)
                    return;
                const QScopedValueRollback taking(m_takingTargets, true);
                m_state.removeTargets(first, last - first + 1);
            });
    connect(LST_IP->model(), &QAbstractItemModel::modelReset, this, [this] {
        if (m_showingTargets)
            return;
        const QScopedValueRollback taking(m_takingTargets, true);
        m_state.setTargets(targetsShownIn(LST_IP));
    });
    connect(LST_IP, &QListWidget::itemSelectionChanged, this, [this] {
        if (!m_showingTargets)
            m_state.setCurrentTarget(selectedRow(LST_IP));
    });

    // -- Source link (link/):
    m_state.setReadModeShown(!FR_READ_MODE->isHidden());
    // Parts that lay out the modes still show and hide the frame themselves.
    new ReadModeFrameWatcher(FR_READ_MODE, m_state);
    connect(&m_state, &StationState::changed, this, [this](StationState::Field field) {
        using Field = StationState::Field;
        if (field == Field::Busy && m_state.busy())
            m_disabledWindowUndrawn = true;
        // A screen reader reads the banner out with its new lines.
        if (field == Field::BannerLine1 || field == Field::BannerLine2)
            announceLiveRegion(FR_MSG);
    });
    // -- Synchronization (sync/): the new unit's synchronization progress, in the banner
    // under its two lines, above the closing stretch.
    PRG_SYNC_NEW_UNIT = new QProgressBar(Frame2);
    PRG_SYNC_NEW_UNIT->setObjectName(QStringLiteral("PRG_SYNC_NEW_UNIT"));
    PRG_SYNC_NEW_UNIT->setTextVisible(true);
    PRG_SYNC_NEW_UNIT->setAccessibleName(QStringLiteral("Synchronization progress"));
    PRG_SYNC_NEW_UNIT->hide();
    // The banner disables the window while it shows; the bar stays as readable as its lines.
    QPalette palette = PRG_SYNC_NEW_UNIT->palette();
    for (int role = 0; role < QPalette::NColorRoles; ++role) {
        const auto r = static_cast<QPalette::ColorRole>(role);
        palette.setColor(QPalette::Disabled, r, palette.color(QPalette::Active, r));
    }
    PRG_SYNC_NEW_UNIT->setPalette(palette);
    if (auto *layout = qobject_cast<QVBoxLayout *>(Frame2->layout()))
        layout->insertWidget(layout->indexOf(AFF_MSG[1]) + 1, PRG_SYNC_NEW_UNIT);
    // -- Configuration and diagnostics (config/, diag/):
    m_state.setTargetFrameShown(!FR_TARGET->isHidden());
    // Edit, Delete, Test and View act on the chosen target unit: they need one.
    const auto enableTargetButtons = [this] {
        const int row = m_state.currentTarget();
        const bool chosen = row >= 0 && row < m_state.targets().size();
        for (QPushButton *button : {B_EDIT_TERM, B_IP_DEL, B_PING, B_TCP_VIEW_USR_LST})
            button->setEnabled(chosen);
    };
    connect(&m_state, &StationState::changed, this, [enableTargetButtons](StationState::Field f) {
        if (f == StationState::Field::CurrentTarget || f == StationState::Field::Targets)
            enableTargetButtons();
    });
    enableTargetButtons();
}

void F_MAIN::showStateField(StationState::Field field)
{
    using Field = StationState::Field;
    switch (field) {
    case Field::SourceStatus: {
        const bool connected = m_state.sourceUp();
        showText(AFF_SERIAL_STATUS, captionOf(m_state.sourceStatus()));
        AFF_SERIAL_STATUS->setStyleSheet(connected ? QStringLiteral("background-color: green;")
                                                   : QStringLiteral("background-color: red;"));
        announceLiveRegion(AFF_SERIAL_STATUS);
        break;
    }
    case Field::SourceStatusDetail:
        AFF_SERIAL_STATUS->setToolTip(m_state.sourceStatusDetail());
        break;
    case Field::TcpStatus:
        showText(AFF_TCP_STATUS, m_state.tcpStatus());
        break;
    case Field::SelectedLink:
        if (m_state.selectedLink() != StationState::Link::None)
            SW_COMM[m_state.serialSelected() ? 0 : 1]->setChecked(true);
        break;
    case Field::SerialPort:
        showText(INP_SERIAL_PORT, m_state.serialPort());
        break;
    case Field::TcpAddress:
        showText(INP_IP, m_state.tcpAddress());
        break;
    case Field::HandshakePending:
        FR_ERROR->setVisible(m_state.handshakePending());
        break;
    case Field::Mode:
        if (m_state.mode() != StationState::Mode::None)
            SW_MODE[m_state.readMode() ? 1 : 0]->setChecked(true);
        break;
    case Field::PasswordPrompt:
        FR_PASSWORD->setVisible(m_state.passwordPrompt());
        break;
    case Field::PasswordResetOffered:
        B_RESET_PASSWORD->setVisible(m_state.passwordResetOffered());
        break;
    case Field::PasswordText:
        showText(INP_PASSWORD, m_state.passwordText());
        break;
    case Field::UserText: {
        showText(INP_USER_NUMBER, m_state.userText());
        // enroll/: the user buttons name the user they act on.
        const QString user = trimBlanks(m_state.userText());
        B_USER_ENROLL->setText(user.isEmpty() ? QStringLiteral("Enroll user")
                                              : QStringLiteral("     Enroll user    ") + user);
        B_USER_DELETE->setText(user.isEmpty() ? QStringLiteral("Delete user")
                                              : QStringLiteral("    Delete user   ") + user);
        break;
    }
    case Field::BackupArmed: {
        const bool armed = m_state.backupArmed();
        QPalette palette = INP_USER_NUMBER->palette();
        palette.setColor(QPalette::Base, armed ? Qt::black : Qt::white);
        palette.setColor(QPalette::Text, armed ? Qt::white : Qt::black); // stays readable
        INP_USER_NUMBER->setPalette(palette);
        break;
    }
    case Field::Quality:
        showText(AFF_SCORE, m_state.quality());
        break;
    case Field::BannerLine1:
    case Field::BannerLine2:
    case Field::ErrorLine: {
        const int line = int(field) - int(Field::BannerLine1);
        showText(AFF_MSG[line], m_state.bannerLine(line));
        break;
    }
    case Field::BannerShown:
        FR_MSG->setVisible(m_state.bannerShown());
        break;
    case Field::BannerPicture: {
        const int picture = m_state.bannerPicture();
        if (picture >= 0 && picture < int(PIC_MSG_LIST.size())) {
            PIC_MSG->setPixmap(PIC_MSG_LIST[picture]->pixmap());
            PIC_MSG->show();
        } else {
            PIC_MSG->hide();
        }
        break;
    }
    case Field::Busy:
        setWindowEnabled(this, !m_state.busy());
        break;
    case Field::ConfigFolder:
        showText(AFF_CURDIR, m_state.configFolder());
        break;
    case Field::TemplatesFolder:
        showText(AFF_DIR_TEMPLATES, m_state.templatesFolder());
        break;
    case Field::Prefix:
        showText(INP_PREFIX, m_state.prefix());
        break;
    case Field::Suffix:
        showText(INP_SUFFIX, m_state.suffix());
        break;
    case Field::Logging:
        SW_LOG->setChecked(m_state.logging());
        break;
    case Field::LogCaption:
        if (SW_LOG->text() != m_state.logCaption())
            SW_LOG->setText(m_state.logCaption());
        break;
    case Field::TypingProblem:
        FR_READ_MODE->setToolTip(m_state.typingProblem());
        break;
    case Field::Targets:
        if (!m_takingTargets) // the list itself reported the change
            showTargets();
        break;
    case Field::CurrentTarget:
        if (selectedRow(LST_IP) != m_state.currentTarget()) {
            const QScopedValueRollback guard(m_showingTargets, true);
            LST_IP->setCurrentRow(m_state.currentTarget());
        }
        break;
    case Field::LastUser: {
        const StationState::LastUser last = m_state.lastUser();
        showText(AFF_LST_USER, last.user);
        showText(AFF_LST_USER_DATE, last.date);
        showText(AFF_LST_USER_TIME, last.time);
        showText(AFF_IP_SERVER, last.source);
        break;
    }
    case Field::ListingUsers:
        B_VIEW_TEMPLATES->setVisible(m_state.listingUsers() != StationState::Listing::SourceUnit);
        B_TCP_VIEW_USR_LST->setVisible(m_state.listingUsers() != StationState::Listing::TargetUnit);
        break;
    // -- Source link (link/):
    case Field::ReadModeShown:
        FR_READ_MODE->setVisible(m_state.readModeShown());
        break;
    case Field::PrefixProblem:
        INP_PREFIX->setToolTip(m_state.prefixProblem());
        break;
    case Field::SuffixProblem:
        INP_SUFFIX->setToolTip(m_state.suffixProblem());
        break;
    // -- Synchronization (sync/):
    case Field::SyncProgress: {
        const StationState::SyncProgress progress = m_state.syncProgress();
        PRG_SYNC_NEW_UNIT->setRange(0, progress.maximum);
        PRG_SYNC_NEW_UNIT->setValue(progress.value);
        PRG_SYNC_NEW_UNIT->setFormat(progress.text);
        if (!progress.text.isEmpty())
            PRG_SYNC_NEW_UNIT->setAccessibleName(QStringLiteral("Synchronization progress: ") +
                                                 progress.text);
        PRG_SYNC_NEW_UNIT->setVisible(progress.shown);
        break;
    }
    // -- Configuration and diagnostics (config/, diag/):
    case Field::Started:
        break; // no control shows it
    case Field::LaidOutMode:
        if (m_state.laidOutMode() != StationState::Mode::None) {
            FR_MANAGE_USR->setVisible(m_state.laidOutMode() == StationState::Mode::Enroll);
            FR_READ_MODE->setVisible(m_state.laidOutMode() == StationState::Mode::Read);
        }
        break;
    case Field::TargetFrameShown:
        FR_TARGET->setVisible(m_state.targetFrameShown());
        break;
    }
}

void F_MAIN::focusField(StationState::Field field)
{
    using Field = StationState::Field;
    const std::initializer_list<std::pair<Field, QWidget *>> fields{
        {Field::UserText, INP_USER_NUMBER},
        {Field::SerialPort, INP_SERIAL_PORT},
        {Field::TcpAddress, INP_IP},
        {Field::PasswordText, INP_PASSWORD},
        {Field::Prefix, INP_PREFIX},
        {Field::Suffix, INP_SUFFIX},
        {Field::Targets, LST_IP}};
    for (const auto &[shown, control] : fields)
        if (shown == field)
            control->setFocus();
}

void F_MAIN::showTargets()
{
    if (targetsShownIn(LST_IP) == m_state.targets())
        return;
    const QScopedValueRollback guard(m_showingTargets, true);
    const QList<TargetUnit> &targets = m_state.targets();
    while (LST_IP->count() > targets.size())
        delete LST_IP->takeItem(LST_IP->count() - 1);
    for (int row = 0; row < targets.size(); ++row) {
        QListWidgetItem *item = LST_IP->item(row);
        if (!item) {
            item = new QListWidgetItem(LST_IP); // owned by the list
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        }
        item->setText(targets[row].line);
        item->setCheckState(targets[row].ticked ? Qt::Checked : Qt::Unchecked);
        markAddressProblem(item, LST_IP);
    }
}
