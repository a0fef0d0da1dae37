#pragma once

#include <QObject>

class F_MAIN;
class F_VIEW_USERS;

// Opens the unit user list window: for the source unit on the serial link
// ("View active users in this Trelvane"), or for the current target unit over TCP ("View").
// Whatever happens, the serial link is selected again afterwards.
class UnitUserList : public QObject
{
    Q_OBJECT
public:
    // Longest wait for the TCP connection to a target unit.
    static constexpr double kConnectSeconds = 3.0;

    explicit UnitUserList(F_MAIN &w);

    void B_VIEW_TEMPLATES_Click();
    void B_TCP_VIEW_USR_LST_Click();

    // The window while it is open (tests reach it here or as the active modal widget).
    F_VIEW_USERS *window() const { return m_window; }

signals:
    // The window has been created and is about to be shown.
    void windowOpening(F_VIEW_USERS *window);

private:
    void openWindow();
    static void giveBackMemory();
    void waitForTcpStatus();

    F_MAIN &w;
    F_VIEW_USERS *m_window = nullptr; // while open
};
