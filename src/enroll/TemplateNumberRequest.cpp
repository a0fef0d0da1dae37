#include "enroll/TemplateNumberRequest.h"

#include "app/F_MAIN.h"
#include "enroll/UserListPages.h"
#include "link/Frame.h"
#include "link/SerialLink.h"
#include "link/SourceSender.h"
#include "link/Supervision.h"
#include "link/TcpLink.h"
#include "log/Waits.h"
#include "platform/Clock.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cmath>

TemplateNumberRequest::TemplateNumberRequest(F_MAIN &w) : w(w)
{
    connect(w.B_REQ_TMP_NO, &QPushButton::clicked, this,
            &TemplateNumberRequest::B_REQ_TMP_NO_Click);
}

void TemplateNumberRequest::B_REQ_TMP_NO_Click()
{
    if (m_running)
        return; // the TCP read serves events: a second request would share the link
    m_running = true;
    const bool pollWasActive = w.SERIAL_RX->isActive();
    w.SERIAL_RX->stop();
    if (m_view)
        m_view->listRequestStarted();

    QByteArray data;
    int pageCount = UserListPages::kMaxPages;
    for (int page = 1; page <= UserListPages::kMaxPages; ++page) {
        if (m_view)
            m_view->listPageRequested(page);
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
    w.RX_EMPREINTE = QByteArray();
    if (cut)
        w.AFF_LOG_MSG(QStringLiteral("The unit listed more than %1 users: only the first %1 are "
                                     "shown.")
                          .arg(UserListPages::kMaxUsers),
                      2);
    const bool serial = w.serialSelected();
    const QString source = serial ? QStringLiteral("Serial Port: ") + w.INP_SERIAL_PORT->text()
                                  : QStringLiteral("IP: ") + w.INP_IP->text();
    if (m_view) {
        m_view->listRead(m_lines);
        m_view->listSourceKnown(source);
    }
    w.ID_PAUSE(kAfterListSeconds);
    if (m_view)
        m_view->listRequestEnded();
    if (!serial) {
        w.TCP_SOURCE->close();
        QCoreApplication::processEvents();
        w.supervision().selectLink(0);
    }
    if (pollWasActive)
        w.SERIAL_RX->start();
    m_running = false;
}

QByteArray TemplateNumberRequest::readPage(int page, int &pageCount)
{
    const bool serial = w.serialSelected();
    w.TRELVANE_LOAD = 1;
    w.RX_EMPREINTE.clear();
    // A request the link refuses is a page with no answer.
    w.sender().TX_SOURCE(page == 1 ? Frame::userListFirstPage() : Frame::userListNextPage());
    qsizetype expected = 0;
    qsizetype announced = 0;
    const double start = w.clock().secondsSinceMidnight();
    for (;;) {
        const double now = w.clock().secondsSinceMidnight();
        const double elapsed = now - start;
        if (elapsed > kPageSeconds || now < start)
            break;
        const QByteArray chunk = readLink(serial);
        // Whatever the unit sends beyond the page it announced is dropped as it arrives, and
        // traced by its length only.
        const qsizetype dropped = UserListPages::appendBounded(w.RX_EMPREINTE, chunk, announced);
        if (!chunk.isEmpty())
            w.WRITE_LOG(QStringLiteral("RX_Serial: ") + TRACE_TEXT(chunk, chunk.size() - dropped));
        if (w.RX_EMPREINTE.size() >= UserListPages::kLengthKnownAt && expected == 0 &&
            elapsed >= kLengthAfterSeconds) {
            const UserListPages::Expectation e =
                UserListPages::expect(w.RX_EMPREINTE, page, pageCount);
            expected = e.length;
            pageCount = e.pageCount;
            announced = e.announced;
            UserListPages::appendBounded(w.RX_EMPREINTE, {}, announced);
        }
        if (expected > 0 && w.RX_EMPREINTE.size() >= expected)
            break;
        // Until the data length may be read, there is no use waking for bytes that arrive.
        int stepMs = kPollStepMs;
        if (w.RX_EMPREINTE.size() >= UserListPages::kLengthKnownAt && expected == 0)
            stepMs = std::max(1, int(std::ceil((kLengthAfterSeconds - elapsed) * 1000)));
        const int leftMs = int(std::ceil((kPageSeconds - elapsed) * 1000)) + 1;
        if (serial && !w.Serial->isOpen())
            stepMs = leftMs; // nothing can arrive on a closed port
        waitForBytes(serial, std::clamp(stepMs, 1, std::max(1, leftMs)));
    }
    w.TRELVANE_LOAD = -1;
    return w.RX_EMPREINTE;
}

QByteArray TemplateNumberRequest::readLink(bool serial)
{
    if (serial)
        return w.Serial->readAll();
    return w.TCP_SOURCE->readAll();
}

void TemplateNumberRequest::waitForBytes(bool serial, int ms)
{
    if (serial) {
        // No events are served: the window does not repaint and takes no clicks meanwhile.
        if (w.Serial->isOpen())
            w.Serial->waitForBytes(w.clock(), ms);
        else
            w.clock().sleep(ms);
    } else {
        w.clock().serveEvents(ms);
    }
}
