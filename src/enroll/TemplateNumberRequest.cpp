#include "enroll/TemplateNumberRequest.h"

#include "enroll/UserListPages.h"
#include "link/Frame.h"
#include "link/SerialLink.h"
#include "link/SourceSender.h"
#include "link/Supervision.h"
#include "link/TcpLink.h"
#include "log/ActivityLog.h"
#include "log/BannerLines.h"
#include "log/Waits.h"
#include "platform/Clock.h"
#include "station/StationState.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <cmath>

TemplateNumberRequest::TemplateNumberRequest(StationState &state, Clock &clock, ActivityLog &log,
                                             BannerLines &banner, Waits &waits, SerialLink &serial,
                                             TcpLink &tcp, QTimer &serialRx, SourceSender &sender,
                                             Supervision &supervision)
    : m_state(state), m_clock(clock), m_log(log), m_banner(banner), m_waits(waits),
      m_serial(serial), m_tcp(tcp), m_serialRx(serialRx), m_sender(sender),
      m_supervision(supervision)
{}

void TemplateNumberRequest::B_REQ_TMP_NO_Click()
{
    if (m_running)
        return; // the TCP read serves events: a second request would share the link
    m_running = true;
    const bool pollWasActive = m_serialRx.isActive();
    m_serialRx.stop();
    emit listRequestStarted();

    QByteArray data;
    int pageCount = UserListPages::kMaxPages;
    for (int page = 1; page <= UserListPages::kMaxPages; ++page) {
        emit listPageRequested(page);
        const UserListPages::PagePart part =
            UserListPages::trimPage(readPage(page, pageCount), page);
        if (part.endOfList)
            break;
        data += part.data;
        if (page == pageCount)
            break;
    }

    bool cut = false;
    m_lines = UserListPages::listLines(UserListPages::groupRecords(data, &cut));
    // The pages are no longer needed: what a hostile unit made them hold is given back now.
    data = QByteArray();
    m_state.RX_EMPREINTE = QByteArray();
    if (cut)
        m_banner.AFF_LOG_MSG(
            QStringLiteral("The unit listed more than %1 users: only the first %1 are "
                           "shown.")
                .arg(UserListPages::kMaxUsers),
            2);
    const bool serial = m_state.serialSelected();
    const QString source = serial ? QStringLiteral("Serial Port: ") + m_state.serialPort()
                                  : QStringLiteral("IP: ") + m_state.tcpAddress();
    emit listRead(m_lines);
    emit listSourceKnown(source);
    m_waits.ID_PAUSE(kAfterListSeconds);
    emit listRequestEnded();
    if (!serial) {
        m_tcp.close();
        QCoreApplication::processEvents();
        m_supervision.selectLink(0);
    }
    if (pollWasActive)
        m_serialRx.start();
    m_running = false;
}

QByteArray TemplateNumberRequest::readPage(int page, int &pageCount)
{
    const bool serial = m_state.serialSelected();
    m_state.TRELVANE_LOAD = 1;
    m_state.RX_EMPREINTE.clear();
    // A request the link refuses is a page with no answer.
    m_sender.TX_SOURCE(page == 1 ? Frame::userListFirstPage() : Frame::userListNextPage());
    qsizetype expected = 0;
    qsizetype announced = 0;
    const double start = m_clock.secondsSinceMidnight();
    for (;;) {
        const double now = m_clock.secondsSinceMidnight();
        const double elapsed = now - start;
        if (elapsed > kPageSeconds || now < start)
            break;
        const QByteArray chunk = readLink(serial);
        // Whatever the unit sends beyond the page it announced is dropped as it arrives, and
        // traced by its length only.
        const qsizetype dropped =
            UserListPages::appendBounded(m_state.RX_EMPREINTE, chunk, announced);
        if (!chunk.isEmpty())
            m_log.WRITE_LOG(QStringLiteral("RX_Serial: ") +
                            TRACE_TEXT(chunk, chunk.size() - dropped));
        if (m_state.RX_EMPREINTE.size() >= UserListPages::kLengthKnownAt && expected == 0 &&
            elapsed >= kLengthAfterSeconds) {
            const UserListPages::Expectation e =
                UserListPages::expect(m_state.RX_EMPREINTE, page, pageCount);
            expected = e.length;
            pageCount = e.pageCount;
            announced = e.announced;
            UserListPages::appendBounded(m_state.RX_EMPREINTE, {}, announced);
        }
        if (expected > 0 && m_state.RX_EMPREINTE.size() >= expected)
            break;
        // Until the data length may be read, there is no use waking for bytes that arrive.
        int stepMs = kPollStepMs;
        if (m_state.RX_EMPREINTE.size() >= UserListPages::kLengthKnownAt && expected == 0)
            stepMs = std::max(1, int(std::ceil((kLengthAfterSeconds - elapsed) * 1000)));
        const int leftMs = int(std::ceil((kPageSeconds - elapsed) * 1000)) + 1;
        if (serial && !m_serial.isOpen())
            stepMs = leftMs; // nothing can arrive on a closed port
        waitForBytes(serial, std::clamp(stepMs, 1, std::max(1, leftMs)));
    }
    m_state.TRELVANE_LOAD = -1;
    return m_state.RX_EMPREINTE;
}

QByteArray TemplateNumberRequest::readLink(bool serial)
{
    if (serial)
        return m_serial.readAll();
    return m_tcp.readAll();
}

void TemplateNumberRequest::waitForBytes(bool serial, int ms)
{
    if (serial) {
        // No events are served: the window does not repaint and takes no clicks meanwhile.
        if (m_serial.isOpen())
            m_serial.waitForBytes(m_clock, ms);
        else
            m_clock.sleep(ms);
    } else {
        m_clock.serveEvents(ms);
    }
}
