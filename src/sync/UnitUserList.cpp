#include "sync/UnitUserList.h"

#include "config/TargetEntry.h"
#include "enroll/TemplateNumberRequest.h"
#include "link/Supervision.h"
#include "log/Waits.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "station/StationState.h"

#include <QCoreApplication>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {
const QString kConnected = QStringLiteral("Connected");
constexpr double kStatusStepSeconds = 0.02;
} // namespace

UnitUserList::UnitUserList(StationState &state, Clock &clock, Dialogs &dialogs, Waits &waits,
                           Supervision &supervision, TemplateNumberRequest &request)
    : m_state(state), m_clock(clock), m_dialogs(dialogs), m_waits(waits),
      m_supervision(supervision), m_request(request)
{}

void UnitUserList::B_VIEW_TEMPLATES_Click()
{
    if (m_open)
        return;
    m_state.setListingUsers(StationState::Listing::SourceUnit);
    m_supervision.selectLink(0);
    QCoreApplication::processEvents();
    if (!m_state.sourceUp()) {
        m_dialogs.messageBox(QStringLiteral("Serial port error"),
                             QStringLiteral("Invalid serial port number"), Dialogs::Icon::Critical);
        m_state.setListingUsers(StationState::Listing::None);
        return;
    }
    m_state.setListingUsers(StationState::Listing::None);
    openWindow();
}

void UnitUserList::B_TCP_VIEW_USR_LST_Click()
{
    if (m_open)
        return;
    const int row = m_state.currentTarget();
    if (row < 0 || row >= m_state.targets().size())
        return;
    m_state.setTcpAddress(TargetEntry::addressOf(m_state.targets()[row].line));
    m_state.setListingUsers(StationState::Listing::TargetUnit);
    m_state.setBusy(true);
    m_supervision.selectLink(1);
    m_supervision.B_CONNECT_IP_Click();
    m_state.setTcpStatus(QString());
    waitForTcpStatus();
    const QString status = m_state.tcpStatus();
    if (status != kConnected) {
        // An empty text: the unit did not answer within the wait.
        m_dialogs.messageBox(status, QStringLiteral("Error IP: ") + m_state.tcpAddress(),
                             Dialogs::Icon::Critical);
        m_supervision.selectLink(0);
    } else {
        // The list is modal: the main window takes no input while it is open, and must not
        // be disabled meanwhile, since that would disable the window that shows the list.
        m_state.setBusy(false);
        openWindow();
    }
    m_state.setBusy(false);
    m_state.setListingUsers(StationState::Listing::None);
}

void UnitUserList::waitForTcpStatus()
{
    const double start = m_clock.secondsSinceMidnight();
    while (m_state.tcpStatus().isEmpty()) {
        const double now = m_clock.secondsSinceMidnight();
        if (now - start >= kConnectSeconds || now < start)
            return;
        m_waits.serveEventsFor(kStatusStepSeconds);
    }
}

void UnitUserList::openWindow()
{
    m_open = true;
    // Closed by any means (OK, close box, Escape), the window has selected the serial link
    // again.
    emit windowWanted();
    m_open = false;
    // Nothing of the list outlives its window.
    m_request.forgetLines();
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
