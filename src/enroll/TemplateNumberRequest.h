#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

class QTimer;
class ActivityLog;
class BannerLines;
class Clock;
class SerialLink;
class SourceSender;
class StationState;
class Supervision;
class TcpLink;
class Waits;

// Reads the list of template records of the unit on the selected link, page by page, and
// reports the users with their template counts, and how the read goes, to whoever shows them
// (the user list window while it is open). It reads the
// link itself, with the receive poll stopped for the whole run: the serial port without
// serving events, the TCP connection serving events between reads.
class TemplateNumberRequest : public QObject
{
    Q_OBJECT
public:
    // Longest wait for one page, and the earliest moment its data length is read.
    static constexpr double kPageSeconds = 2.0;
    static constexpr double kLengthAfterSeconds = 0.35;
    static constexpr double kAfterListSeconds = 0.5;
    // Step of the wait for bytes: short enough that a page is taken as soon as it is
    // complete, long enough that waiting costs nothing.
    static constexpr int kPollStepMs = 10;

    TemplateNumberRequest(StationState &state, Clock &clock, ActivityLog &log, BannerLines &banner,
                          Waits &waits, SerialLink &serial, TcpLink &tcp, QTimer &serialRx,
                          SourceSender &sender, Supervision &supervision);

    // Reads the list from the unit on the selected link (the hidden "REQ TEMPLATES NO").
    void B_REQ_TMP_NO_Click();

    // The lines of the last run, until forgotten (the window that showed them has closed).
    QStringList lastLines() const { return m_lines; }
    void forgetLines() { m_lines = QStringList(); }
    bool isRunning() const { return m_running; }

signals:
    // The read starts: a view empties its list and takes no input.
    void listRequestStarted();
    // Page `page` has been asked for (1 = the first). A serial read serves no events: a view
    // draws what it shows now.
    void listPageRequested(int page);
    // The list as read: one line per user, the user number and its template count.
    void listRead(const QStringList &lines);
    // Which unit was read: "IP: ..." or "Serial Port: ...".
    void listSourceKnown(const QString &source);
    // The read is over: a view takes input again.
    void listRequestEnded();

private:
    QByteArray readPage(int page, int &pageCount);
    QByteArray readLink(bool serial);
    void waitForBytes(bool serial, int ms);

    StationState &m_state;
    Clock &m_clock;
    ActivityLog &m_log;
    BannerLines &m_banner;
    Waits &m_waits;
    SerialLink &m_serial;
    TcpLink &m_tcp;
    QTimer &m_serialRx;
    SourceSender &m_sender;
    Supervision &m_supervision;
    QStringList m_lines;
    bool m_running = false;
};
