#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

class F_MAIN;

// What a window listing a unit's users is told while the list is read.
class UserListView
{
public:
    virtual ~UserListView() = default;
    // The read starts: the list is emptied and the window takes no input.
    virtual void listRequestStarted() = 0;
    // Page `page` has been asked for (1 = the first).
    virtual void listPageRequested(int page) = 0;
    // The list as read: one line per user.
    virtual void listRead(const QStringList &lines) = 0;
    // Which unit was read: "IP: ..." or "Serial Port: ...".
    virtual void listSourceKnown(const QString &source) = 0;
    // The read is over: the window takes input again.
    virtual void listRequestEnded() = 0;
};

// Reads the list of template records of the unit on the selected link, page by page, and
// hands the users with their template counts to the open user list window. It reads the
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

    explicit TemplateNumberRequest(F_MAIN &w);

    // The window that shows the list while it is open (none: the list is read and dropped).
    void setView(UserListView *view) { m_view = view; }

    // Reads the list from the unit on the selected link (the hidden "REQ TEMPLATES NO").
    void B_REQ_TMP_NO_Click();

    // The lines of the last run, until forgotten (the window that showed them has closed).
    QStringList lastLines() const { return m_lines; }
    void forgetLines() { m_lines = QStringList(); }
    bool isRunning() const { return m_running; }

private:
    QByteArray readPage(int page, int &pageCount);
    QByteArray readLink(bool serial);
    void waitForBytes(bool serial, int ms);

    F_MAIN &w;
    UserListView *m_view = nullptr;
    QStringList m_lines;
    bool m_running = false;
};
