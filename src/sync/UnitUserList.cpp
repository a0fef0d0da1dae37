#include "sync/UnitUserList.h"

#include "app/F_MAIN.h"
#include "app/LiveValue.h"
#include "config/TargetList.h"
#include "enroll/TemplateNumberRequest.h"
#include "link/Supervision.h"
#include "log/Waits.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "sync/F_VIEW_USERS.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {
const QString kConnected = QStringLiteral("Connected");
constexpr double kStatusStepSeconds = 0.02;
} // namespace

UnitUserList::UnitUserList(F_MAIN &w) : w(w)
{
    connect(w.B_VIEW_TEMPLATES, &QPushButton::clicked, this, &UnitUserList::B_VIEW_TEMPLATES_Click);
    connect(w.B_TCP_VIEW_USR_LST, &QPushButton::clicked, this,
            &UnitUserList::B_TCP_VIEW_USR_LST_Click);
}

void UnitUserList::B_VIEW_TEMPLATES_Click()
{
    if (m_window)
        return;
    w.state().setListingUsers(StationState::Listing::SourceUnit);
    w.supervision().selectLink(0);
    QCoreApplication::processEvents();
    if (w.AFF_SERIAL_STATUS->text() != kConnected) {
        w.dialogs().messageBox(QStringLiteral("Serial port error"),
                               QStringLiteral("Invalid serial port number"),
                               Dialogs::Icon::Critical);
        w.state().setListingUsers(StationState::Listing::None);
        return;
    }
    w.state().setListingUsers(StationState::Listing::None);
    openWindow();
}

void UnitUserList::B_TCP_VIEW_USR_LST_Click()
{
    if (m_window)
        return;
    const int row = w.state().currentTarget();
    if (row < 0 || row >= w.state().targets().size())
        return;
    w.state().setTcpAddress(TargetEntry::addressOf(w.state().targets()[row].line));
    w.state().setListingUsers(StationState::Listing::TargetUnit);
    w.state().setBusy(true);
    w.supervision().selectLink(1);
    w.supervision().B_CONNECT_IP_Click();
    w.state().setTcpStatus(QString());
    waitForTcpStatus();
    const QString status = w.AFF_TCP_STATUS->text();
    if (status != kConnected) {
        // An empty text: the unit did not answer within the wait.
        w.dialogs().messageBox(status, QStringLiteral("Error IP: ") + w.INP_IP->text(),
                               Dialogs::Icon::Critical);
        w.supervision().selectLink(0);
    } else {
        // The window is modal: the main window takes no input while it is open, and must
        // not be disabled meanwhile, since that would disable the window it owns.
        w.state().setBusy(false);
        openWindow();
    }
    w.state().setBusy(false);
    w.state().setListingUsers(StationState::Listing::None);
}

void UnitUserList::waitForTcpStatus()
{
    const double start = w.clock().secondsSinceMidnight();
    while (w.AFF_TCP_STATUS->text().isEmpty()) {
        const double now = w.clock().secondsSinceMidnight();
        if (now - start >= kConnectSeconds || now < start)
            return;
        w.waits().serveEventsFor(kStatusStepSeconds);
    }
}

void UnitUserList::openWindow()
{
    {
        F_VIEW_USERS window(w);
        window.move(w.geometry().center() - window.rect().center());
        m_window = &window;
        emit windowOpening(&window);
        window.exec();
        // Closed by any means (OK, close box, Escape): the serial link is selected again.
        window.Form_Unload();
        m_window = nullptr;
    }
    // Nothing of the list outlives its window.
    w.templateNumberRequest().forgetLines();
    giveBackMemory();
}

void UnitUserList::giveBackMemory()
{
#if defined(__GLIBC__)
    // A long list leaves many small blocks behind; without this the process would keep the
    // high-water mark of the longest list it ever showed.
    malloc_trim(0);
#endif
}
