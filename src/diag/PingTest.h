#pragma once

#include <QObject>

class F_MAIN;

// The ping test of the ticked target units ("Test"): writes OMBRIX_PING.BAT in the
// configuration folder and starts it in a console window, without waiting for it. Also the
// hidden test command "Load", which backs up a typed user.
class PingTest : public QObject
{
    Q_OBJECT
public:
    explicit PingTest(F_MAIN &w);

    void B_PING_Click();
    void B_LOAD_TST_Click();

    QString scriptPath() const;

private:
    bool writeScript(const QString &path, QString &error);

    F_MAIN &w;
};
