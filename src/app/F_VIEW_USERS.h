#pragma once

#include <QDialog>
#include <QList>
#include <QMetaObject>

class F_MAIN;
class QFrame;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;

// The unit user list window: the users of one unit with their template counts, read when
// the window opens, and the actions on them (delete one, synchronize one to the target
// units, back all of them up to the station). Modal over the main window.
class F_VIEW_USERS final : public QDialog
{
    Q_OBJECT
public:
    static constexpr const char *kCaption = "View active users in this Trelvane";

    explicit F_VIEW_USERS(F_MAIN &w);
    ~F_VIEW_USERS() override;

    QLabel *Label1 = nullptr;
    QLabel *AFF_SOURCE = nullptr;
    QListWidget *LST_USERS = nullptr;
    QPushButton *B_BACKUP = nullptr;
    QPushButton *B_SYNC = nullptr;
    QPushButton *B_DELETE = nullptr;
    QPushButton *B_IP_ADD = nullptr;
    QFrame *FR_WAIT = nullptr;
    QLabel *AFF_WAIT = nullptr;     // "Please wait ..."
    QLabel *AFF_NB_USERS = nullptr; // "0 users"
    QLabel *AFF_PAGE = nullptr;     // the page being read

    // True once the list has been read (the window takes input from then on).
    bool isLoaded() const { return m_loaded; }

    void Form_Load();
    void Form_Unload();
    void LST_USERS_Click();
    void B_DELETE_Click();
    void B_SYNC_Click();
    void B_BACKUP_Click();
    void B_IP_ADD_Click();
    void AFF_SOURCE_Change();

    // How the read of the list goes, as the request reports it.
    void listRequestStarted();
    void listPageRequested(int page);
    void listRead(const QStringList &lines);
    void listSourceKnown(const QString &source);
    void listRequestEnded();

signals:
    void loaded();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void done(int result) override;

private:
    void buildControls();
    void showCount();
    QListWidgetItem *selectedLine() const;

    F_MAIN &w;
    bool m_loadStarted = false;
    bool m_loaded = false;
    bool m_unloaded = false;
    bool m_removingLine = false;
};
