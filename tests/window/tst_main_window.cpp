// The main window as it is created: every control by its name, with its caption, tooltip
// and visibility, and the names assistive technology reads.
#include "app/F_VIEW_USERS.h"
#include "support/StationFixture.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

class MainWindowTest : public QObject
{
    Q_OBJECT

    static QString textOf(QObject *control)
    {
        if (auto *button = qobject_cast<QAbstractButton *>(control))
            return button->text();
        if (auto *label = qobject_cast<QLabel *>(control))
            return label->text();
        if (auto *edit = qobject_cast<QLineEdit *>(control))
            return edit->text();
        if (auto *frame = qobject_cast<QGroupBox *>(control))
            return frame->title();
        return QString();
    }

    // Presses Tab around the whole window and returns every widget that took the focus.
    static QList<QWidget *> tabCycle(QWidget &window)
    {
        QList<QWidget *> reached;
        for (int i = 0; i < 80; ++i) {
            QWidget *from = QApplication::focusWidget();
            QTest::keyClick(from ? from : &window, Qt::Key_Tab);
            if (QWidget *now = QApplication::focusWidget(); now && !reached.contains(now))
                reached.append(now);
        }
        return reached;
    }

private slots:
    void windowCaptionIsTheStationsOwn()
    {
        StationFixture f;
        QCOMPARE(f.w().windowTitle(),
                 QStringLiteral(" Trelvane Ombrix quick Enrollment  Version: 1.0N"));
        QVERIFY(!f.w().windowIcon().isNull());
    }

    void everyControlIsCreatedAsDesigned_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("hiddenAtCreation");
        QTest::addColumn<QString>("toolTip");
        const auto row = [](const char *name, const char *text, bool hidden, const char *tip = "") {
            QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(text) << hidden
                                << QString::fromLatin1(tip);
        };
        row("B_EDIT_DIR_TEMPLATE", "", false, "Edit templates folder");
        row("FR_MSG", "", true);
        row("FR_TCP", "TCP Configuration ", true);
        row("FR_COMM", "", true);
        row("AFF_DIR_TEMPLATES", "CURDIR", false, "Templates folder");
        row("AFF_CURDIR", "CURDIR", false, "Configuration folder");
        row("AFF_MSG_0", "... MESSAGE ...", false);
        row("AFF_MSG_1", "... MESSAGE ...", false);
        row("Frame1", "", true);
        row("B_CONNECT_IP", "Connect", false);
        row("AFF_TCP_STATUS", "Disconnect", false);
        row("Label5", "Status:", false);
        row("Label6", "IP address:", false);
        row("B_LOAD_TST", "Load", false);
        row("SW_COMM_0", "Serial Port", false);
        row("SW_COMM_1", "TCP", false);
        row("B_TCP_VIEW_USR_LST", "View", false);
        row("B_PING", "Test", false);
        row("B_SAVE_TEMPLATES", "Save Templates", true);
        row("B_REQ_TMP_NO", "REQ TEMPLATES NO", true);
        row("pichook", "", true);
        row("B_EDIT_TERM", "", false, "Edit the selected terminal");
        row("FR_ENR_QUALITY", "", true);
        row("Label8_0", "Template quality:", false);
        row("AFF_SCORE", "0", false);
        row("Label8_1", "%", false);
        row("B_UPLOAD_TST", "TST UPLOAD", true);
        row("B_BACKUP_TO_FILE", "Backup this user templates", true);
        row("Label9", "* Check the units to be synchronized.", false);
        row("Label3_3", "Trelvane target units", false);
        row("B_SAVE_CFG", "Save Configuration", false);
        row("FR_PASSWORD", "", true);
        row("B_OK_PASSWORD", "ok", false);
        row("INP_PASSWORD", "", false);
        row("Label14", "Password:", false);
        row("B_RESET_PASSWORD", "", true, "Reset Password");
        row("SW_MODE_0", "Enroll    or", false);
        row("SW_MODE_1", "Read mode", false);
        row("FR_ERROR", "", true);
        row("AFF_MSG_2", "Communication error with Trelvane", false);
        row("SW_LOG", "Log activity to Trelvane_DATE.log", false);
        row("FR_MANAGE_USR", "", true);
        row("B_SYNCHRONIZE_NEW_UNIT", "Synchronize a new unit", false);
        row("INP_USER_NUMBER", "", false);
        row("B_USER_ENROLL", "Enroll user", false);
        row("B_USER_DELETE", "Delete user", false);
        row("B_VIEW_TEMPLATES", "", false, "View active users  in this Trelvane");
        row("Label3_1", " Manage users", false);
        row("Label7", "User Number:", false);
        row("FR_SERIAL", " Serial / USB Port Configuration ", false);
        row("B_RECONNECT", "Re-Connect", false);
        row("INP_SERIAL_PORT", "0", false);
        row("AFF_SERIAL_STATUS", "Disconnected", false);
        row("Label2", "Status:", false);
        row("Label1", "Serial Port Number:", false);
        row("FR_READ_MODE", "", true);
        row("INP_SUFFIX", "{ENTER}", false);
        row("INP_PREFIX", "", false);
        row("Label13", "Suffix:", false);
        row("Label11", "Prefix:", false);
        row("Label3_4", "Trelvane Wedge Keyboard mode", false);
        row("AFF_LST_USER", "", false);
        row("AFF_IP_SERVER", "0.0.0.0", false);
        row("Label12", "Last user read", false);
        row("Label10", "Trelvane IP address", false);
        row("Label3_2", " Trelvane source unit", false);
    }
    void everyControlIsCreatedAsDesigned()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(bool, hiddenAtCreation);
        QFETCH(QString, toolTip);
        TestClock clock;
        ScriptedDialogs dialogs;
        F_MAIN w(StationOptions{QDir::tempPath(), 0, 0}, StationPlatform{clock, dialogs});
        auto *control = w.findChild<QWidget *>(name);
        QVERIFY2(control, qPrintable(name));
        QCOMPARE(textOf(control), text);
        QCOMPARE(control->isHidden(), hiddenAtCreation);
        if (!toolTip.isEmpty())
            QCOMPARE(control->toolTip(), toolTip);
    }

    void timersStartAsDesigned()
    {
        StationFixture f;
        QCOMPARE(f.w().TIM_SERIAL_CONNECT->interval(), 1000);
        QCOMPARE(f.w().TIM_HIDE_MSG->interval(), 1000);
        QCOMPARE(f.w().TIM_BACKUP->interval(), 0);
        QCOMPARE(f.w().TIM_HIDE_MSG_Tag, QStringLiteral("99"));
        QCOMPARE(f.w().TRAY_EVENT, 0);
        QVERIFY(f.w().RX_SCORE.isEmpty());
        QVERIFY(f.w().RX_EMPREINTE.isEmpty());
    }

    // While the error panel is up, the user management group under it is hidden: Tab never
    // reaches its controls, and they come back when the panel goes. The panel may come up
    // before or after the mode switch shows the group.
    void theErrorPanelHidesTheGroupItCovers_data()
    {
        QTest::addColumn<bool>("panelFirst");
        QTest::newRow("group shown, then the panel") << false;
        QTest::newRow("panel up, then the group shown") << true;
    }
    void theErrorPanelHidesTheGroupItCovers()
    {
        QFETCH(bool, panelFirst);
        StationFixture f;
        F_MAIN &w = f.w();
        if (panelFirst) {
            w.FR_ERROR->show();
            w.FR_MANAGE_USR->show(); // enroll mode laid out
        } else {
            w.FR_MANAGE_USR->show();
            w.FR_ERROR->show(); // the handshake is unanswered
        }
        w.show();
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));

        QVERIFY(w.FR_MANAGE_USR->isHidden());
        QVERIFY(!w.B_USER_DELETE->isVisible());
        const QList<QWidget *> reached = tabCycle(w);
        QVERIFY(!reached.isEmpty());
        for (QWidget *widget : reached)
            QVERIFY2(!w.FR_MANAGE_USR->isAncestorOf(widget), qPrintable(widget->objectName()));

        w.FR_ERROR->hide(); // the unit answered
        QVERIFY(w.B_USER_DELETE->isVisible());
        QVERIFY(tabCycle(w).contains(w.INP_USER_NUMBER));

        // Read mode chosen while the panel is up: the group stays hidden when the panel goes.
        w.FR_ERROR->show();
        QVERIFY(w.FR_MANAGE_USR->isHidden());
        w.FR_MANAGE_USR->hide();
        w.FR_READ_MODE->show();
        w.FR_ERROR->hide();
        QVERIFY(w.FR_MANAGE_USR->isHidden());
        // Back in enroll mode with the panel up, and then the unit answers.
        w.FR_ERROR->show();
        w.FR_MANAGE_USR->show();
        w.FR_READ_MODE->hide();
        QVERIFY(w.FR_MANAGE_USR->isHidden());
        w.FR_ERROR->hide();
        QVERIFY(!w.FR_MANAGE_USR->isHidden());
    }

    // Texts from the operator, files, units and the network are shown as typed: a user text
    // "7<h1>BIG" is no heading.
    void outsideTextsAreShownAsTyped_data()
    {
        QTest::addColumn<QString>("control");
        for (const char *name :
             {"AFF_MSG_0", "AFF_MSG_1", "AFF_DIR_TEMPLATES", "AFF_CURDIR", "AFF_SERIAL_STATUS",
              "AFF_TCP_STATUS", "AFF_LST_USER", "AFF_IP_SERVER", "AFF_SCORE"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }
    void outsideTextsAreShownAsTyped()
    {
        QFETCH(QString, control);
        StationFixture f;
        auto *label = f.w().findChild<QLabel *>(control);
        QVERIFY(label);
        label->setText(QStringLiteral("7 BIG"));
        const int plainHeight = label->sizeHint().height();
        label->setText(QStringLiteral("7<h1>BIG"));
        QCOMPARE(label->sizeHint().height(), plainHeight);
        QCOMPARE(label->textFormat(), Qt::PlainText);
    }
    void theDeleteBannerShowsTheUserTextAsTyped()
    {
        StationFixture f;
        F_MAIN &w = f.w();
        w.AFF_LOG_MSG(QStringLiteral("User 7 BIG deleted"), 1);
        const int plainHeight = w.AFF_MSG[0]->heightForWidth(400);
        w.AFF_LOG_MSG(QStringLiteral("User 7<h1>BIG deleted"), 1);
        QCOMPARE(w.AFF_MSG[0]->heightForWidth(400), plainHeight);
        QCOMPARE(w.AFF_MSG[0]->text(), QStringLiteral("User 7<h1>BIG deleted"));
    }
    void everyLabelOfBothWindowsIsPlainText()
    {
        StationFixture f;
        F_VIEW_USERS list(f.w());
        for (QWidget *window : {static_cast<QWidget *>(&f.w()), static_cast<QWidget *>(&list)})
            for (QLabel *label : window->findChildren<QLabel *>())
                if (!label->objectName().startsWith(QLatin1String("PIC_"))) // pictures
                    QVERIFY2(label->textFormat() == Qt::PlainText, qPrintable(label->objectName()));
    }

    // A button that shows only a picture says what it does, to the eye and to a screen reader.
    void everyPictureOnlyButtonHasATooltipAndAName()
    {
        StationFixture f;
        int pictureOnly = 0;
        for (QPushButton *button : f.w().findChildren<QPushButton *>()) {
            if (!button->text().isEmpty())
                continue;
            ++pictureOnly;
            QVERIFY2(!button->toolTip().isEmpty(), qPrintable(button->objectName()));
            QVERIFY2(!button->accessibleName().isEmpty(), qPrintable(button->objectName()));
        }
        QVERIFY(pictureOnly > 0);
    }

    // The two folder paths at the bottom carry short labels; the user list's count heading
    // starts over the column of the counts, in the list's font.
    void foldersAreLabelledAndTheCountHeadingSitsOverItsColumn()
    {
        StationFixture f;
        auto *templates = f.w().findChild<QLabel *>(QStringLiteral("templatesFolderCaption"));
        auto *configuration =
            f.w().findChild<QLabel *>(QStringLiteral("configurationFolderCaption"));
        QVERIFY(templates && configuration);
        QCOMPARE(templates->text(), QStringLiteral("Templates:"));
        QCOMPARE(configuration->text(), QStringLiteral("Configuration:"));

        F_VIEW_USERS list(f.w());
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QTRY_VERIFY_WITH_TIMEOUT(list.isLoaded(), 20000); // no unit: an empty list
        list.LST_USERS->addItem(QStringLiteral("1002").leftJustified(37, u' ') +
                                QStringLiteral(" 3"));
        const QString heading = list.Label1->text();
        QCOMPARE(heading.indexOf(QStringLiteral("Nb template(s)")),
                 list.LST_USERS->item(0)->text().indexOf(u'3'));
        QCOMPARE(list.Label1->font().family(), list.LST_USERS->font().family());
        // Where the heading's text starts and where the line's text starts, on screen.
        const QFontMetrics metrics(list.LST_USERS->font());
        const int headingX = list.Label1->mapTo(&list, list.Label1->contentsRect().topLeft()).x();
        const QRect itemRect = list.LST_USERS->visualItemRect(list.LST_USERS->item(0));
        const int lineX = list.LST_USERS->viewport()->mapTo(&list, itemRect.topLeft()).x();
        QVERIFY2(qAbs(headingX - lineX) <= metrics.horizontalAdvance(u' '),
                 qPrintable(QStringLiteral("%1 %2").arg(headingX).arg(lineX)));
    }

    void controlsAreNamedForAssistiveTechnology_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("accessibleName");
        QTest::newRow("user number") << "INP_USER_NUMBER"
                                     << "User Number";
        QTest::newRow("serial port") << "INP_SERIAL_PORT"
                                     << "Serial Port Number";
        QTest::newRow("password") << "INP_PASSWORD"
                                  << "Password";
        QTest::newRow("prefix") << "INP_PREFIX"
                                << "Prefix";
        QTest::newRow("suffix") << "INP_SUFFIX"
                                << "Suffix";
        QTest::newRow("address") << "INP_IP"
                                 << "IP address";
        QTest::newRow("button caption") << "B_USER_ENROLL"
                                        << "Enroll user";
        QTest::newRow("picture button tooltip") << "B_EDIT_TERM"
                                                << "Edit the selected terminal";
        QTest::newRow("folder button") << "B_EDIT_DIR_TEMPLATE"
                                       << "Edit templates folder";
        QTest::newRow("add target") << "B_IP_ADD"
                                    << "Add a target unit";
        QTest::newRow("delete target") << "B_IP_DEL"
                                       << "Delete the selected target unit";
        QTest::newRow("target list") << "LST_IP"
                                     << "Trelvane target units";
    }
    void controlsAreNamedForAssistiveTechnology()
    {
        QFETCH(QString, control);
        QFETCH(QString, accessibleName);
        StationFixture f;
        auto *widget = f.w().findChild<QWidget *>(control);
        QVERIFY(widget);
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
        QVERIFY(accessible);
        QCOMPARE(accessible->text(QAccessible::Name), accessibleName);
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_main_window.moc"
