#include "config/TargetList.h"

#include "app/F_MAIN.h"
#include "config/ConfigFile.h"
#include "platform/Dialogs.h"
#include "util/Blanks.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPalette>
#include <QPushButton>
#include <QScopedValueRollback>

namespace {

const QString kAddressTitle = QStringLiteral("Target Trelvane IP Address");
const QString kDescriptionTitle = QStringLiteral("Target Trelvane Description");

// An address this short cannot be a dotted unit address worth describing ("1.2.3.4" is the
// shortest); longer ones get a description.
constexpr int kLongestWithoutDescription = 7;

QString skippedBecause(const QString &problem)
{
    return QStringLiteral("Skipped by enroll, delete and synchronize: ") + problem;
}

} // namespace

TargetList::TargetList(F_MAIN &w) : w(w)
{
    connect(w.B_IP_ADD, &QPushButton::clicked, this, &TargetList::B_IP_ADD_Click);
    connect(w.B_EDIT_TERM, &QPushButton::clicked, this, &TargetList::B_EDIT_TERM_Click);
    connect(w.B_IP_DEL, &QPushButton::clicked, this, &TargetList::B_IP_DEL_Click);
    // A click on an entry, or the keyboard moving the selection: Tab into the list makes an
    // entry current without selecting it, and that chooses nothing.
    connect(w.LST_IP, &QListWidget::itemClicked, this, &TargetList::LST_IP_Click);
    connect(w.LST_IP, &QListWidget::itemSelectionChanged, this, [this] {
        enableEntryButtons();
        if (!m_changingList && selectedEntry())
            LST_IP_Click();
    });
    // Enter on the entry that has the focus chooses it, as a click would.
    connect(w.LST_IP, &QListWidget::itemActivated, this,
            [this](QListWidgetItem *item) { this->w.LST_IP->setCurrentItem(item); });
    enableEntryButtons();
}

QString TargetList::entryText(const QString &address, const QString &description)
{
    return TargetEntry::text(address, description);
}

QString TargetList::addressOf(const QString &entry)
{
    return TargetEntry::addressOf(entry);
}

QString TargetList::descriptionOf(const QString &entry)
{
    return TargetEntry::descriptionOf(entry);
}

QStringList TargetList::tickedAddresses() const
{
    return usableTicked([this](const QString &problem) {
        w.WRITE_LOG(QStringLiteral("Target unit skipped: ") + problem);
    });
}

int TargetList::usableTickedCount() const
{
    return int(usableTicked([](const QString &) {}).size());
}

QStringList TargetList::usableTicked(const std::function<void(const QString &)> &skipped) const
{
    QStringList addresses;
    for (int row = 0; row < w.LST_IP->count(); ++row) {
        const QListWidgetItem *item = w.LST_IP->item(row);
        if (item->checkState() != Qt::Checked)
            continue;
        const QString address = addressOf(item->text());
        const QString problem = TargetEntry::addressProblem(address);
        if (problem.isEmpty())
            addresses.append(address);
        else
            skipped(problem);
    }
    return addresses;
}

QListWidgetItem *TargetList::selectedEntry() const
{
    const QList<QListWidgetItem *> selected = w.LST_IP->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

void TargetList::addEntry(const QString &text)
{
    const QScopedValueRollback guard(m_changingList, true);
    auto *item = new QListWidgetItem(text, w.LST_IP); // owned by the list
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Checked);
    markAddressProblem(item);
    enableEntryButtons();
}

void TargetList::markAddressProblem(QListWidgetItem *item) const
{
    // Kept as it was typed, so that nothing of an older configuration file is lost, but shown
    // for what it is.
    const QString problem = TargetEntry::addressProblem(addressOf(item->text()));
    if (problem.isEmpty()) {
        item->setData(Qt::ForegroundRole, QVariant());
        item->setToolTip(QString());
        return;
    }
    item->setForeground(w.LST_IP->palette().color(QPalette::Disabled, QPalette::Text));
    // A tooltip whose text looks like markup is read as markup: given as a paragraph, with
    // the typed text escaped, it reads as typed.
    item->setToolTip(QStringLiteral("<p>") + skippedBecause(problem).toHtmlEscaped() +
                     QStringLiteral("</p>"));
}

void TargetList::enableEntryButtons()
{
    const bool chosen = selectedEntry() != nullptr;
    for (QPushButton *button : {w.B_EDIT_TERM, w.B_IP_DEL, w.B_PING, w.B_TCP_VIEW_USR_LST})
        button->setEnabled(chosen);
}

void TargetList::B_IP_ADD_Click()
{
    const QString previous = w.ID_IP;
    w.ID_IP = w.dialogs().inputBox(QStringLiteral("Enter the IP address:"), kAddressTitle);
    if (!acceptableAddress(w.ID_IP)) {
        if (!trimBlanks(w.ID_IP).isEmpty())
            w.ID_IP = previous; // refused: nothing changes
        return;
    }
    QString description;
    if (trimBlanks(w.ID_IP).size() > kLongestWithoutDescription)
        description =
            w.dialogs().inputBox(QStringLiteral("Enter the description:"), kDescriptionTitle);
    addEntry(entryText(w.ID_IP, description));
    saveConfiguration();
}

void TargetList::B_EDIT_TERM_Click()
{
    QListWidgetItem *item = selectedEntry();
    if (!item)
        return;
    const QString previous = w.ID_IP;
    w.ID_IP = w.dialogs().inputBox(QStringLiteral("Edit the IP address:"), kAddressTitle,
                                   addressOf(item->text()));
    if (!acceptableAddress(w.ID_IP)) {
        if (!trimBlanks(w.ID_IP).isEmpty())
            w.ID_IP = previous;
        return;
    }
    QString description;
    if (trimBlanks(w.ID_IP).size() > kLongestWithoutDescription)
        description = w.dialogs().inputBox(QStringLiteral("Edit the description:"),
                                           kDescriptionTitle, descriptionOf(item->text()));
    {
        const QScopedValueRollback guard(m_changingList, true);
        item->setText(entryText(w.ID_IP, description));
        item->setCheckState(Qt::Checked);
        markAddressProblem(item);
    }
    saveConfiguration();
}

void TargetList::B_IP_DEL_Click()
{
    {
        const QScopedValueRollback guard(m_changingList, true);
        if (QListWidgetItem *item = selectedEntry()) {
            delete w.LST_IP->takeItem(w.LST_IP->row(item));
            w.LST_IP->setCurrentRow(-1); // no entry is chosen after a delete
        }
    }
    enableEntryButtons();
    saveConfiguration();
}

void TargetList::LST_IP_Click()
{
    const QListWidgetItem *item = selectedEntry();
    if (!item)
        return;
    w.ID_IP = addressOf(item->text());
    w.INP_IP->setText(w.ID_IP);
}

bool TargetList::acceptableAddress(const QString &typed)
{
    if (trimBlanks(typed).isEmpty())
        return false;
    if (typed.size() > kAddressWidth) {
        w.dialogs().messageBox(
            QStringLiteral("The address \"%1\" is longer than %2 characters; it was not saved.")
                .arg(typed)
                .arg(kAddressWidth),
            kAddressTitle, Dialogs::Icon::Critical);
        return false;
    }
    const QString problem = TargetEntry::addressProblem(typed);
    if (!problem.isEmpty()) {
        w.dialogs().beep(2);
        w.dialogs().messageBox(problem + QStringLiteral("\r\nThe address was not saved."),
                               kAddressTitle, Dialogs::Icon::Critical);
        return false;
    }
    return true;
}

void TargetList::saveConfiguration()
{
    w.configFile().B_SAVE_CFG_Click();
}
