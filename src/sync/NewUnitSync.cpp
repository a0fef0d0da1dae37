#include "sync/NewUnitSync.h"

#include "app/F_MAIN.h"
#include "enroll/TemplateStore.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "sync/TemplateUpload.h"
#include "util/NumericValue.h"
#include "util/TextNumber.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>

namespace {

const QString kPrompt = QStringLiteral("Enter the IP address of this new unit:\r\n* To synchronize "
                                       "the local serial unit, enter: COM ");
const QString kTitle = QStringLiteral("Synchronize new Trelvane unit");
constexpr int kMinAddressLength = 8;

} // namespace

NewUnitSync::NewUnitSync(F_MAIN &w) : w(w)
{
    connect(w.B_SYNCHRONIZE_NEW_UNIT, &QPushButton::clicked, this,
            &NewUnitSync::B_SYNCHRONIZE_NEW_UNIT_Click);
    m_progress = new QProgressBar(w.Frame2);
    m_progress->setObjectName(QStringLiteral("PRG_SYNC_NEW_UNIT"));
    m_progress->setTextVisible(true);
    m_progress->setAccessibleName(QStringLiteral("Synchronization progress"));
    m_progress->hide();
    // The banner disables the window while it shows; the bar stays as readable as its lines.
    QPalette palette = m_progress->palette();
    for (int role = 0; role < QPalette::NColorRoles; ++role) {
        const auto r = static_cast<QPalette::ColorRole>(role);
        palette.setColor(QPalette::Disabled, r, palette.color(QPalette::Active, r));
    }
    m_progress->setPalette(palette);
    // Under the two banner lines, above the closing stretch.
    if (auto *layout = qobject_cast<QVBoxLayout *>(w.Frame2->layout()))
        layout->insertWidget(layout->indexOf(w.AFF_MSG[1]) + 1, m_progress);
}

QStringList NewUnitSync::uploadable(const QStringList &names)
{
    QStringList result;
    for (const QString &name : names) {
        if (!name.contains(u'-'))
            continue;
        const double user = numericValue(TemplateStore::userOf(name));
        if (user == 0 || !USER_NUMBER_TO_BYTES(user))
            continue;
        result.append(name);
    }
    return result;
}

QString NewUnitSync::progressText(int done, int total, int secondsLeft)
{
    QString left;
    if (secondsLeft >= 60)
        left = QStringLiteral("%1 min %2 s").arg(secondsLeft / 60).arg(secondsLeft % 60);
    else
        left = QStringLiteral("%1 s").arg(secondsLeft);
    return QStringLiteral("%1 of %2 files, %3 left").arg(done).arg(total).arg(left);
}

void NewUnitSync::B_SYNCHRONIZE_NEW_UNIT_Click()
{
    // The loop serves events between files: a second click meanwhile would start a second
    // run inside the first and send every file twice, interleaved.
    if (m_running)
        return;
    const QStringList listing = w.templateStore().listAll();
    if (w.ID_IP.isEmpty() && w.LST_IP->count() > 0)
        w.ID_IP = w.LST_IP->item(0)->text().left(17).trimmed();
    w.ID_IP = w.dialogs().inputBox(kPrompt, kTitle, w.ID_IP);
    const QString answer = w.ID_IP;
    if (answer.trimmed().isEmpty())
        return;
    if (w.AFF_SERIAL_STATUS->text() != QStringLiteral("Connected")) {
        w.dialogs().beep(2);
        w.INP_SERIAL_PORT->setFocus();
        w.SHOW_MAIN_WINDOW();
        w.dialogs().messageBox(QStringLiteral("Serial port error"),
                               QStringLiteral("Invalid serial port number"),
                               Dialogs::Icon::Critical);
        return;
    }
    w.AFF_LOG_MSG(QStringLiteral("Synchronize new Trelvane unit: ") + answer, 1);
    w.AFF_LOG_MSG(QString(), 2);
    w.ID_PAUSE(kBeforeFirstUpload);
    if (!answer.toUpper().contains(QStringLiteral("COM")) &&
        answer.trimmed().size() < kMinAddressLength)
        return;
    m_running = true;
    synchronize(answer, uploadable(listing));
    m_running = false;
}

void NewUnitSync::synchronize(const QString &answer, const QStringList &names)
{
    const int total = int(names.size());
    const QString folder = w.templateStore().folder();
    const double start = w.clock().secondsSinceMidnight();
    int sent = 0;
    m_progress->setRange(0, qMax(total, 1));
    showProgress(0, total, start);
    m_progress->show();
    for (int i = 0; i < total; ++i) {
        const QString &name = names[i];
        // A file that cannot be read or sent is skipped; the others still go.
        if (w.templateUpload().UPLOAD_TEMPLATE(TemplateStore::userOf(name), folder + name, answer,
                                               QString::fromLatin1(kDescription),
                                               TemplateStore::templateNumberOf(name)))
            ++sent;
        showProgress(i + 1, total, start);
        QCoreApplication::processEvents();
    }
    m_progress->hide();
    w.AFF_LOG_MSG(QStringLiteral("Synchronization complete."), 1);
    if (sent == total)
        w.AFF_LOG_MSG(QString(), 2);
    else
        w.AFF_LOG_MSG(QStringLiteral("%1 of %2 template files sent.").arg(sent).arg(total), 2);
}

void NewUnitSync::showProgress(int done, int total, double startSeconds)
{
    double perFile = kSecondsPerUpload;
    const double elapsed = w.clock().secondsSinceMidnight() - startSeconds;
    if (done > 0 && elapsed > 0)
        perFile = elapsed / done;
    const int left = int(std::lround(perFile * (total - done)));
    const QString text = progressText(done, total, left);
    m_progress->setValue(done);
    m_progress->setFormat(text);
    m_progress->setAccessibleName(QStringLiteral("Synchronization progress: ") + text);
}
