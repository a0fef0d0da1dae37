#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

class F_MAIN;
class QTemporaryDir;

// The ping test of the ticked target units ("Test"): writes OMBRIX_PING.BAT in the
// configuration folder and starts a private copy of it in a console window, without waiting
// for it. Also the hidden test command "Load", which backs up a typed user.
class PingTest : public QObject
{
    Q_OBJECT
public:
    explicit PingTest(F_MAIN &w);
    ~PingTest() override;

    void B_PING_Click();
    void B_LOAD_TST_Click();

    QString scriptPath() const;

private:
    QByteArray scriptText() const;
    bool writeScript(const QString &path, const QByteArray &script, QString &error);
    // The path of a copy of the script that no other account can change, or empty (error
    // says why).
    QString privateCopy(const QByteArray &script, QString &error);

    F_MAIN &w;
    std::unique_ptr<QTemporaryDir> m_privateFolder; // of the last script started
};
