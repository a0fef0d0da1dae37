#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class F_MAIN;

// Deletes a user everywhere the station knows of: its template files, the source unit and
// every ticked target unit. The operator is asked first, and told what will go.
class UserDeletion : public QObject
{
    Q_OBJECT
public:
    explicit UserDeletion(F_MAIN &w);

    // Deletes the user in INP_USER_NUMBER after the operator answered Yes.
    void B_USER_DELETE_Click();
    // The same for a deletion the operator has already confirmed (the unit user list window
    // asks before it removes the line).
    void deleteConfirmed();

    // Asks whether the user may go, naming what will be removed; logs the answer.
    bool confirmDeletion(const QString &userText);
    // "Delete user 1002 from the source unit, its 2 template files and 3 target units?"
    static QString deletionQuestion(const QString &userText, int templateFiles, int targets);

    // The "DEL" user command: removes the user's template files, then sends the delete frame
    // to the source unit and, in list order and without pauses, to every ticked target.
    // A file or a send that fails does not stop the next step.
    void deleteUser(const QString &userText, const QByteArray &userBytes);

private:
    void removeTemplateFiles(const QString &userText);
    void sendToTickedTargets(const QByteArray &message);

    F_MAIN &w;
};
