// The question the station asks before it deletes a user, in the real message box.
#include "app/QtDialogs.h"
#include "enroll/UserDeletion.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

class DeleteQuestionTest : public QObject
{
    Q_OBJECT

private slots:
    // The real question box: No is the default button, Escape and Enter answer No, only Yes
    // deletes. Its picture goes to docs/ when TRELVANE_SCREENSHOT_DIR names a folder.
    void theRealQuestionDefaultsToNo_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("clickYes");
        QTest::addColumn<int>("expected");
        QTest::newRow("Escape") << int(Qt::Key_Escape) << false << int(Dialogs::Answer::No);
        QTest::newRow("Enter") << int(Qt::Key_Return) << false << int(Dialogs::Answer::No);
        QTest::newRow("Yes clicked") << 0 << true << int(Dialogs::Answer::Yes);
    }
    void theRealQuestionDefaultsToNo()
    {
        QFETCH(int, key);
        QFETCH(bool, clickYes);
        QFETCH(int, expected);
        QtDialogs dialogs;
        const QString question = UserDeletion::deletionQuestion(QStringLiteral("1002"), 2, 3);
        bool defaultIsNo = false;
        QString shownText;
        QTimer::singleShot(0, qApp, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            defaultIsNo = box->defaultButton() == box->button(QMessageBox::No);
            shownText = box->text();
            const QByteArray folder = qgetenv("TRELVANE_SCREENSHOT_DIR");
            if (!folder.isEmpty())
                box->grab().save(QString::fromLocal8Bit(folder) +
                                 QStringLiteral("/screenshot-delete-question.png"));
            if (clickYes)
                box->button(QMessageBox::Yes)->click();
            else
                QTest::keyClick(box, Qt::Key(key));
        });
        QCOMPARE(int(dialogs.question(question, QStringLiteral("Delete user"))), expected);
        QVERIFY(defaultIsNo);
        QCOMPARE(shownText, question);
    }
};

QTEST_MAIN(DeleteQuestionTest)
#include "tst_delete_question.moc"
