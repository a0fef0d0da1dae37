#pragma once

#include <QObject>

class Clock;
class Dialogs;
class StationState;
class Supervision;
class TemplateNumberRequest;
class Waits;

// Opens the unit user list: for the source unit on the serial link
// ("View active users in this Trelvane"), or for the current target unit over TCP ("View").
// Whatever happens, the serial link is selected again afterwards.
class UnitUserList : public QObject
{
    Q_OBJECT
public:
    // Longest wait for the TCP connection to a target unit.
    static constexpr double kConnectSeconds = 3.0;

    UnitUserList(StationState &state, Clock &clock, Dialogs &dialogs, Waits &waits,
                 Supervision &supervision, TemplateNumberRequest &request);

    void B_VIEW_TEMPLATES_Click();
    void B_TCP_VIEW_USR_LST_Click();

    // The list is open: a second click meanwhile opens nothing.
    bool isOpen() const { return m_open; }

signals:
    // The unit on the selected link answers: its list is shown now, read as it opens. The
    // list is modal: this returns when it has closed, with the serial link selected again.
    void windowWanted();

private:
    void openWindow();
    static void giveBackMemory();
    void waitForTcpStatus();

    StationState &m_state;
    Clock &m_clock;
    Dialogs &m_dialogs;
    Waits &m_waits;
    Supervision &m_supervision;
    TemplateNumberRequest &m_request;
    bool m_open = false;
};
