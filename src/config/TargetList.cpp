#include "config/TargetList.h"

#include "app/F_MAIN.h"
#include "config/ConfigFile.h"
#include "platform/Dialogs.h"
#include "util/Blanks.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScopedValueRollback>

namespace {

const QString kAddressTitle = QStringLiteral("Target Trelvane IP Address");
const QString kDescriptionTitle = QStringLiteral("Target Trelvane Description");

// An address this short cannot be a dotted unit address worth describing ("1.2.3.4" is the
// shortest); longer ones get a description.
constexpr int kLongestWithoutDescription = 7;

} // namespace

TargetList::TargetList(F_MAIN &w) : w(w)
{
    connect(w.B_IP_ADD, &QPushButton::clicked, this, &TargetList::B_IP_ADD_Click);
    connect(w.B_EDIT_TERM, &QPushButton::clicked, this, &TargetList::B_EDIT_TERM_Click);
    connect(w.B_IP_DEL, &QPushButton::clicked, this, &TargetList::B_IP_DEL_Click);
    // A click on an entry, or moving the highlight with the keyboard.
    connect(w.LST_IP, &QListWidget::itemClicked, this, &TargetList::LST_IP_Click);
    connect(w.LST_IP, &QListWidget::currentRowChanged, this, [this] {
        if (!m_changingList)
            LST_IP_Click();
    });
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
    QStringList addresses;
    for (int row = 0; row < w.LST_IP->count(); ++row) {
        const QListWidgetItem *item = w.LST_IP->item(row);
        if (item->checkState() == Qt::Checked)
            addresses.append(addressOf(item->text()));
    }
    return addresses;
}

void TargetList::addEntry(const QString &text)
{
    const QScopedValueRollback guard(m_changingList, true);
    auto *item = new QListWidgetItem(text, w.LST_IP); // owned by the list
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Checked);
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
    QListWidgetItem *item = w.LST_IP->currentItem();
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
    }
    saveConfiguration();
}

void TargetList::B_IP_DEL_Click()
{
    {
        const QScopedValueRollback guard(m_changingList, true);
        const int row = w.LST_IP->currentRow();
        if (row >= 0) {
            delete w.LST_IP->takeItem(row);
            w.LST_IP->setCurrentRow(-1); // no entry is current after a delete
        }
    }
    saveConfiguration();
}

void TargetList::LST_IP_Click()
{
    const QListWidgetItem *item = w.LST_IP->currentItem();
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
    return true;
}

void TargetList::saveConfiguration()
{
    w.configFile().B_SAVE_CFG_Click();
}
