#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class F_MAIN;

// Deletes a user everywhere the station knows of: its template files, the source unit and
// every ticked target unit.
class UserDeletion : public QObject
{
    Q_OBJECT
public:
    explicit UserDeletion(F_MAIN &w);

    // Deletes the user in INP_USER_NUMBER (also called by the unit user list window).
    void B_USER_DELETE_Click();

    // The "DEL" user command: removes the user's template files, then sends the delete frame
    // to the source unit and, in list order and without pauses, to every ticked target.
    // A file or a send that fails does not stop the next step.
    void deleteUser(const QString &userText, const QByteArray &userBytes);

private:
    void removeTemplateFiles(const QString &userText);
    void sendToTickedTargets(const QByteArray &message);

    F_MAIN &w;
};
