// Creates every control of the main window with its name, caption, tooltip and visibility at
// creation, and arranges them. Behaviour is wired by the parts, not here.
#include "app/Artwork.h"
#include "app/F_MAIN.h"
#include "app/LiveValue.h"
#include "link/SerialLink.h"
#include "link/TcpLink.h"

#include <QCheckBox>
#include <QEvent>
#include <QFont>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QUdpSocket>
#include <QVBoxLayout>

namespace {

template <typename T> T *named(T *object, const char *name)
{
    object->setObjectName(QString::fromLatin1(name));
    return object;
}

// Labels show texts from the operator, files, units and the network (banner lines, folder
// paths, addresses): as typed, never read as markup.
QLabel *label(QWidget *parent, const char *name, const QString &text)
{
    auto *l = named(new QLabel(text, parent), name);
    l->setTextFormat(Qt::PlainText);
    return l;
}

QPushButton *button(QWidget *parent, const char *name, const QString &caption,
                    const QString &tooltip = QString())
{
    auto *b = named(new QPushButton(caption, parent), name);
    if (!tooltip.isEmpty())
        b->setToolTip(tooltip);
    return b;
}

QLineEdit *edit(QWidget *parent, const char *name, const QString &text)
{
    return named(new QLineEdit(text, parent), name);
}

// A frame with a border shows its caption; a borderless frame shows none.
QGroupBox *frame(QWidget *parent, const char *name, const QString &caption, bool border)
{
    auto *f = named(new QGroupBox(border ? caption : QString(), parent), name);
    if (!border) {
        f->setFlat(true);
        f->setStyleSheet(QStringLiteral("QGroupBox#%1 { border: none; margin: 0; padding: 0; }")
                             .arg(QString::fromLatin1(name)));
    }
    return f;
}

// The banner is shown while the window is disabled; its picture keeps its colours then.
class VividPicture final : public QLabel
{
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent *) override
    {
        const QPixmap picture = pixmap();
        if (picture.isNull())
            return;
        QPainter painter(this);
        const QSize size = picture.deviceIndependentSize().toSize();
        painter.drawPixmap(
            QRect(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size),
            picture);
    }
};

// Text in the banner reads as clearly while the window is disabled as when it is enabled.
void keepColoursWhenDisabled(QWidget *widget)
{
    QPalette palette = widget->palette();
    for (int role = 0; role < QPalette::NColorRoles; ++role) {
        const auto r = static_cast<QPalette::ColorRole>(role);
        palette.setColor(QPalette::Disabled, r, palette.color(QPalette::Active, r));
    }
    widget->setPalette(palette);
}

// A panel laid over a group of controls hides that group while it is shown, so that nothing
// under it takes the focus or acts, by mouse or by keyboard; the group comes back when the
// panel goes, unless its owner hid it meanwhile or showed the rival group that shares its
// place (read mode instead of enroll mode).
class CoveringPanel final : public QObject
{
public:
    CoveringPanel(QWidget *panel, QWidget *covered, QWidget *rival, QObject *parent)
        : QObject(parent), m_panel(panel), m_covered(covered), m_rival(rival)
    {
        for (QWidget *widget : {panel, covered, rival})
            widget->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const QEvent::Type type = event->type();
        if (m_busy || (type != QEvent::ShowToParent && type != QEvent::HideToParent))
            return false;
        if (watched == m_panel) {
            if (type == QEvent::ShowToParent && !m_covered->isHidden())
                cover();
            else if (type == QEvent::HideToParent && m_hiding)
                uncover();
        } else if (watched == m_covered) {
            // Shown while the panel is up (the mode switch to enroll mode): stays under it.
            if (type == QEvent::ShowToParent && !m_panel->isHidden())
                cover();
            else if (type == QEvent::HideToParent)
                m_hiding = false; // hidden by its owner: not ours to bring back
        } else if (watched == m_rival && type == QEvent::ShowToParent) {
            // The group's owner chose the other group: a hide of the group while we hold it
            // hidden sends no event, the rival's show does.
            m_hiding = false;
        }
        return false;
    }

private:
    void cover()
    {
        m_busy = true;
        m_covered->hide();
        m_busy = false;
        m_hiding = true;
    }
    void uncover()
    {
        m_hiding = false;
        m_busy = true;
        m_covered->show();
        m_busy = false;
    }

    QWidget *m_panel;
    QWidget *m_covered;
    QWidget *m_rival;
    bool m_hiding = false; // the covered group is hidden because of the panel
    bool m_busy = false;   // our own show or hide
};

} // namespace

void F_MAIN::buildControls()
{
    auto *root = new QGridLayout(this);

    // Source frame and, laid over it, the banner frame.
    FR_SOURCE = frame(this, "FR_SOURCE", QStringLiteral("Source Trelvane"), false);
    FR_MSG = frame(this, "FR_MSG", QString(), false);
    FR_MSG->hide();
    // The banner covers the source frame while it is shown.
    FR_MSG->setAutoFillBackground(true);
    keepColoursWhenDisabled(FR_MSG);
    FR_TARGET = frame(this, "FR_TARGET", QStringLiteral("Target Trelvane"), false);
    FR_COMM = frame(this, "FR_COMM", QString(), true);
    FR_COMM->hide();
    FR_TCP = frame(this, "FR_TCP", QStringLiteral("TCP Configuration "), true);
    FR_TCP->hide();
    root->addWidget(FR_SOURCE, 0, 0);
    root->addWidget(FR_MSG, 0, 0);
    root->addWidget(FR_TARGET, 0, 1);

    auto *folders = new QGridLayout;
    B_EDIT_DIR_TEMPLATE =
        button(this, "B_EDIT_DIR_TEMPLATE", QString(), QStringLiteral("Edit templates folder"));
    AFF_DIR_TEMPLATES = label(this, "AFF_DIR_TEMPLATES", QStringLiteral("CURDIR"));
    AFF_DIR_TEMPLATES->setToolTip(QStringLiteral("Templates folder"));
    AFF_CURDIR = label(this, "AFF_CURDIR", QStringLiteral("CURDIR"));
    AFF_CURDIR->setToolTip(QStringLiteral("Configuration folder"));
    // Each path says what it is without hovering over it.
    folders->setColumnStretch(2, 1);
    folders->addWidget(B_EDIT_DIR_TEMPLATE, 0, 0);
    folders->addWidget(label(this, "templatesFolderCaption", QStringLiteral("Templates:")), 0, 1);
    folders->addWidget(AFF_DIR_TEMPLATES, 0, 2);
    folders->addWidget(label(this, "configurationFolderCaption", QStringLiteral("Configuration:")),
                       1, 1);
    folders->addWidget(AFF_CURDIR, 1, 2);
    root->addLayout(folders, 1, 0, 1, 2);
    root->addWidget(FR_COMM, 2, 0);
    root->addWidget(FR_TCP, 3, 0);

    // The banner.
    auto *msgLayout = new QVBoxLayout(FR_MSG);
    Frame2 = frame(FR_MSG, "Frame2", QString(), true);
    Frame2->setStyleSheet(QStringLiteral("QGroupBox#Frame2 { background: palette(base); "
                                         "border: 2px solid palette(mid); border-radius: 8px; }"));
    TIM_HIDE_MSG = &m_station->hideMessageTimer();
    auto *frame2Layout = new QVBoxLayout(Frame2);
    PIC_MSG = named(new VividPicture(Frame2), "PIC_MSG");
    PIC_MSG->setMinimumSize(96, 96);
    AFF_MSG[0] = label(Frame2, "AFF_MSG_0", QStringLiteral("... MESSAGE ..."));
    AFF_MSG[1] = label(Frame2, "AFF_MSG_1", QStringLiteral("... MESSAGE ..."));
    for (QLabel *line : {AFF_MSG[0], AFF_MSG[1]}) {
        line->setWordWrap(true);
        line->setAlignment(Qt::AlignCenter);
    }
    QFont lineFont = AFF_MSG[0]->font();
    lineFont.setPointSizeF(lineFont.pointSizeF() * 1.3);
    lineFont.setBold(true);
    AFF_MSG[0]->setFont(lineFont);
    lineFont.setBold(false);
    lineFont.setPointSizeF(lineFont.pointSizeF() / 1.3 * 1.1);
    AFF_MSG[1]->setFont(lineFont);
    frame2Layout->addStretch();
    keepColoursWhenDisabled(AFF_MSG[0]);
    keepColoursWhenDisabled(AFF_MSG[1]);
    frame2Layout->addWidget(PIC_MSG, 0, Qt::AlignHCenter);
    frame2Layout->addWidget(AFF_MSG[0]);
    frame2Layout->addWidget(AFF_MSG[1]);
    frame2Layout->addStretch();
    Frame1 = frame(FR_MSG, "Frame1", QString(), true);
    Frame1->hide();
    for (int i = 0; i < 9; ++i)
        PIC_MSG_LIST[i] = named(new QLabel(Frame1),
                                QStringLiteral("PIC_MSG_LIST_%1").arg(i).toLatin1().constData());
    msgLayout->addWidget(Frame2);
    msgLayout->addWidget(Frame1);

    // TCP settings (never shown).
    auto *tcpLayout = new QGridLayout(FR_TCP);
    B_CONNECT_IP = button(FR_TCP, "B_CONNECT_IP", QStringLiteral("Connect"));
    INP_IP = edit(FR_TCP, "INP_IP", QStringLiteral("127.0.0.1"));
    TCP_SOURCE = &m_station->tcp();
    AFF_TCP_STATUS = label(FR_TCP, "AFF_TCP_STATUS", QStringLiteral("Disconnect"));
    Label5 = label(FR_TCP, "Label5", QStringLiteral("Status:"));
    Label6 = label(FR_TCP, "Label6", QStringLiteral("IP address:"));
    tcpLayout->addWidget(Label6, 0, 0);
    tcpLayout->addWidget(INP_IP, 0, 1);
    tcpLayout->addWidget(B_CONNECT_IP, 0, 2);
    tcpLayout->addWidget(Label5, 1, 0);
    tcpLayout->addWidget(AFF_TCP_STATUS, 1, 1);

    // Link selection (never shown).
    auto *commLayout = new QHBoxLayout(FR_COMM);
    B_LOAD_TST = button(FR_COMM, "B_LOAD_TST", QStringLiteral("Load"));
    SW_COMM[0] = named(new QRadioButton(QStringLiteral("Serial Port"), FR_COMM), "SW_COMM_0");
    SW_COMM[1] = named(new QRadioButton(QStringLiteral("TCP"), FR_COMM), "SW_COMM_1");
    commLayout->addWidget(SW_COMM[0]);
    commLayout->addWidget(SW_COMM[1]);
    commLayout->addWidget(B_LOAD_TST);

    // Target units.
    auto *targetLayout = new QGridLayout(FR_TARGET);
    Label3[3] = label(FR_TARGET, "Label3_3", QStringLiteral("Trelvane target units"));
    LST_IP = named(new QListWidget(FR_TARGET), "LST_IP");
    B_IP_ADD = button(FR_TARGET, "B_IP_ADD", QString());
    B_EDIT_TERM =
        button(FR_TARGET, "B_EDIT_TERM", QString(), QStringLiteral("Edit the selected terminal"));
    B_IP_DEL = button(FR_TARGET, "B_IP_DEL", QString());
    Label9 = label(FR_TARGET, "Label9", QStringLiteral("* Check the units to be synchronized."));
    B_PING = button(FR_TARGET, "B_PING", QStringLiteral("Test"));
    B_TCP_VIEW_USR_LST = button(FR_TARGET, "B_TCP_VIEW_USR_LST", QStringLiteral("View"));
    Label15 = label(FR_TARGET, "Label15", QStringLiteral("Wait"));
    Label15->hide();
    B_SAVE_TEMPLATES = button(FR_TARGET, "B_SAVE_TEMPLATES", QStringLiteral("Save Templates"));
    B_REQ_TMP_NO = button(FR_TARGET, "B_REQ_TMP_NO", QStringLiteral("REQ TEMPLATES NO"));
    B_UPLOAD_TST = button(FR_TARGET, "B_UPLOAD_TST", QStringLiteral("TST UPLOAD"));
    B_BACKUP_TO_FILE =
        button(FR_TARGET, "B_BACKUP_TO_FILE", QStringLiteral("Backup this user templates"));
    for (QWidget *hidden :
         {static_cast<QWidget *>(B_SAVE_TEMPLATES), static_cast<QWidget *>(B_REQ_TMP_NO),
          static_cast<QWidget *>(B_UPLOAD_TST), static_cast<QWidget *>(B_BACKUP_TO_FILE)})
        hidden->hide();
    pichook = label(FR_TARGET, "pichook", QString());
    pichook->hide();
    UDP_RX = &m_station->udpRx();
    UDP_TX = &m_station->udpTx();
    FR_ENR_QUALITY = frame(FR_TARGET, "FR_ENR_QUALITY", QString(), false);
    FR_ENR_QUALITY->hide();
    auto *qualityLayout = new QHBoxLayout(FR_ENR_QUALITY);
    Label8[0] = label(FR_ENR_QUALITY, "Label8_0", QStringLiteral("Template quality:"));
    AFF_SCORE = label(FR_ENR_QUALITY, "AFF_SCORE", QStringLiteral("0"));
    Label8[1] = label(FR_ENR_QUALITY, "Label8_1", QStringLiteral("%"));
    qualityLayout->addWidget(Label8[0]);
    qualityLayout->addWidget(AFF_SCORE);
    qualityLayout->addWidget(Label8[1]);
    targetLayout->addWidget(Label3[3], 0, 0, 1, 3);
    targetLayout->addWidget(LST_IP, 1, 0, 1, 3);
    targetLayout->addWidget(B_IP_ADD, 2, 0);
    targetLayout->addWidget(B_EDIT_TERM, 2, 1);
    targetLayout->addWidget(B_IP_DEL, 2, 2);
    targetLayout->addWidget(Label9, 3, 0, 1, 3);
    targetLayout->addWidget(B_PING, 4, 0);
    targetLayout->addWidget(B_TCP_VIEW_USR_LST, 4, 1);
    targetLayout->addWidget(Label15, 4, 2);

    // Source unit.
    auto *sourceLayout = new QGridLayout(FR_SOURCE);
    Label3[2] = label(FR_SOURCE, "Label3_2", QStringLiteral(" Trelvane source unit"));
    sourceLayout->addWidget(Label3[2], 0, 0, 1, 2);

    FR_SERIAL =
        frame(FR_SOURCE, "FR_SERIAL", QStringLiteral(" Serial / USB Port Configuration "), true);
    auto *serialLayout = new QGridLayout(FR_SERIAL);
    Label3[0] = label(FR_SERIAL, "Label3_0", QStringLiteral(" Serial / USB Port Configuration "));
    Label3[0]->hide();
    Label1 = label(FR_SERIAL, "Label1", QStringLiteral("Serial Port Number:"));
    INP_SERIAL_PORT = edit(FR_SERIAL, "INP_SERIAL_PORT", QStringLiteral("0"));
    Label2 = label(FR_SERIAL, "Label2", QStringLiteral("Status:"));
    AFF_SERIAL_STATUS = label(FR_SERIAL, "AFF_SERIAL_STATUS", QStringLiteral("Disconnected"));
    AFF_SERIAL_STATUS->setAutoFillBackground(true);
    AFF_SERIAL_STATUS->setStyleSheet(QStringLiteral("background-color: red;"));
    B_RECONNECT = button(FR_SERIAL, "B_RECONNECT", QStringLiteral("Re-Connect"));
    Serial = &m_station->serial();
    SerialTST = &m_station->serialTst();
    SERIAL_RX = &m_station->serialRxTimer();
    TIM_SERIAL_CONNECT = &m_station->serialConnectTimer();
    serialLayout->addWidget(Label1, 0, 0);
    serialLayout->addWidget(INP_SERIAL_PORT, 0, 1);
    serialLayout->addWidget(B_RECONNECT, 0, 2, 2, 1);
    serialLayout->addWidget(Label2, 1, 0);
    serialLayout->addWidget(AFF_SERIAL_STATUS, 1, 1);
    sourceLayout->addWidget(FR_SERIAL, 1, 0, 1, 2);

    Frame3 = frame(FR_SOURCE, "Frame3", QString(), false);
    auto *modeLayout = new QHBoxLayout(Frame3);
    SW_MODE[0] = named(new QRadioButton(QStringLiteral("Enroll    or"), Frame3), "SW_MODE_0");
    SW_MODE[1] = named(new QRadioButton(QStringLiteral("Read mode"), Frame3), "SW_MODE_1");
    B_RESET_PASSWORD =
        button(Frame3, "B_RESET_PASSWORD", QString(), QStringLiteral("Reset Password"));
    B_RESET_PASSWORD->hide();
    modeLayout->addWidget(SW_MODE[0]);
    modeLayout->addWidget(SW_MODE[1]);
    modeLayout->addWidget(B_RESET_PASSWORD);
    sourceLayout->addWidget(Frame3, 2, 0);

    FR_PASSWORD = frame(FR_SOURCE, "FR_PASSWORD", QString(), false);
    FR_PASSWORD->hide();
    auto *passwordLayout = new QHBoxLayout(FR_PASSWORD);
    Label14 = label(FR_PASSWORD, "Label14", QStringLiteral("Password:"));
    INP_PASSWORD = edit(FR_PASSWORD, "INP_PASSWORD", QString());
    INP_PASSWORD->setEchoMode(QLineEdit::Password);
    B_OK_PASSWORD = button(FR_PASSWORD, "B_OK_PASSWORD", QStringLiteral("ok"));
    passwordLayout->addWidget(Label14);
    passwordLayout->addWidget(INP_PASSWORD);
    passwordLayout->addWidget(B_OK_PASSWORD);
    sourceLayout->addWidget(FR_PASSWORD, 2, 1);

    // User management, and the two frames laid over it.
    FR_MANAGE_USR = frame(FR_SOURCE, "FR_MANAGE_USR", QString(), false);
    FR_MANAGE_USR->hide();
    auto *manageLayout = new QGridLayout(FR_MANAGE_USR);
    Label3[1] = label(FR_MANAGE_USR, "Label3_1", QStringLiteral(" Manage users"));
    Label7 = label(FR_MANAGE_USR, "Label7", QStringLiteral("User Number:"));
    INP_USER_NUMBER = edit(FR_MANAGE_USR, "INP_USER_NUMBER", QString());
    INP_USER_NUMBER->setAutoFillBackground(true);
    B_USER_ENROLL = button(FR_MANAGE_USR, "B_USER_ENROLL", QStringLiteral("Enroll user"));
    B_USER_DELETE = button(FR_MANAGE_USR, "B_USER_DELETE", QStringLiteral("Delete user"));
    B_VIEW_TEMPLATES = button(FR_MANAGE_USR, "B_VIEW_TEMPLATES", QString(),
                              QStringLiteral("View active users  in this Trelvane"));
    B_SYNCHRONIZE_NEW_UNIT =
        button(FR_MANAGE_USR, "B_SYNCHRONIZE_NEW_UNIT", QStringLiteral("Synchronize a new unit"));
    Label4 = label(FR_MANAGE_USR, "Label4", QStringLiteral("Wait"));
    Label4->hide();
    TIM_BACKUP = &m_station->backupTimer();
    manageLayout->addWidget(Label3[1], 0, 0, 1, 3);
    manageLayout->addWidget(Label7, 1, 0);
    manageLayout->addWidget(INP_USER_NUMBER, 1, 1, 1, 2);
    manageLayout->addWidget(B_USER_ENROLL, 2, 0, 1, 2);
    manageLayout->addWidget(B_USER_DELETE, 2, 2);
    manageLayout->addWidget(B_VIEW_TEMPLATES, 3, 0);
    manageLayout->addWidget(B_SYNCHRONIZE_NEW_UNIT, 3, 1, 1, 2);
    manageLayout->addWidget(Label4, 4, 0);

    FR_ERROR = frame(FR_SOURCE, "FR_ERROR", QString(), false);
    FR_ERROR->hide();
    auto *errorLayout = new QVBoxLayout(FR_ERROR);
    PIC_MSG_LIST[9] = label(FR_ERROR, "PIC_MSG_LIST_9", QString());
    AFF_MSG[2] = label(FR_ERROR, "AFF_MSG_2", QStringLiteral("Communication error with Trelvane"));
    errorLayout->addWidget(PIC_MSG_LIST[9], 0, Qt::AlignHCenter);
    errorLayout->addWidget(AFF_MSG[2], 0, Qt::AlignHCenter);

    FR_READ_MODE = frame(FR_SOURCE, "FR_READ_MODE", QString(), false);
    FR_READ_MODE->hide();
    auto *readLayout = new QGridLayout(FR_READ_MODE);
    Label3[4] = label(FR_READ_MODE, "Label3_4", QStringLiteral("Trelvane Wedge Keyboard mode"));
    Label11 = label(FR_READ_MODE, "Label11", QStringLiteral("Prefix:"));
    INP_PREFIX = edit(FR_READ_MODE, "INP_PREFIX", QString());
    Label13 = label(FR_READ_MODE, "Label13", QStringLiteral("Suffix:"));
    INP_SUFFIX = edit(FR_READ_MODE, "INP_SUFFIX", QStringLiteral("{ENTER}"));
    Label10 = label(FR_READ_MODE, "Label10", QStringLiteral("Trelvane IP address"));
    AFF_IP_SERVER = label(FR_READ_MODE, "AFF_IP_SERVER", QStringLiteral("0.0.0.0"));
    Label12 = label(FR_READ_MODE, "Label12", QStringLiteral("Last user read"));
    AFF_LST_USER = label(FR_READ_MODE, "AFF_LST_USER", QString());
    AFF_LST_USER_DATE = label(FR_READ_MODE, "AFF_LST_USER_DATE", QString());
    AFF_LST_USER_TIME = label(FR_READ_MODE, "AFF_LST_USER_TIME", QString());
    readLayout->addWidget(Label3[4], 0, 0, 1, 3);
    readLayout->addWidget(Label11, 1, 0);
    readLayout->addWidget(INP_PREFIX, 1, 1, 1, 2);
    readLayout->addWidget(Label13, 2, 0);
    readLayout->addWidget(INP_SUFFIX, 2, 1, 1, 2);
    readLayout->addWidget(Label10, 3, 0);
    readLayout->addWidget(AFF_IP_SERVER, 3, 1, 1, 2);
    readLayout->addWidget(Label12, 4, 0);
    readLayout->addWidget(AFF_LST_USER, 4, 1);
    readLayout->addWidget(AFF_LST_USER_DATE, 5, 1);
    readLayout->addWidget(AFF_LST_USER_TIME, 5, 2);

    new CoveringPanel(FR_ERROR, FR_MANAGE_USR, FR_READ_MODE, this);
    // The three share one cell: only one is shown at a time.
    sourceLayout->addWidget(FR_MANAGE_USR, 3, 0, 1, 2);
    sourceLayout->addWidget(FR_ERROR, 3, 0, 1, 2);
    sourceLayout->addWidget(FR_READ_MODE, 3, 0, 1, 2);

    SW_LOG = named(new QCheckBox(QStringLiteral("Log activity to Trelvane_DATE.log"), FR_SOURCE),
                   "SW_LOG");
    B_SAVE_CFG = button(FR_SOURCE, "B_SAVE_CFG", QStringLiteral("Save Configuration"));
    sourceLayout->addWidget(SW_LOG, 4, 0);
    sourceLayout->addWidget(B_SAVE_CFG, 4, 1);

    applyArtwork();
    nameForAssistiveTechnology();

    for (QLabel *heading : Label3) {
        QFont bold = heading->font();
        bold.setBold(true);
        heading->setFont(bold);
    }
    AFF_SERIAL_STATUS->setAlignment(Qt::AlignCenter);
    AFF_MSG[2]->setStyleSheet(QStringLiteral("color: #d0352b; font-weight: bold;"));
}

void F_MAIN::applyArtwork()
{
    using Artwork::Button;
    setWindowIcon(Artwork::applicationIcon());
    const qreal dpr = devicePixelRatioF();
    for (int i = 0; i < int(PIC_MSG_LIST.size()); ++i)
        PIC_MSG_LIST[i]->setPixmap(Artwork::bannerPicture(i, i == 9 ? 64 : 96, dpr));
    const std::pair<QPushButton *, Button> pictures[] = {{B_EDIT_DIR_TEMPLATE, Button::Folder},
                                                         {B_IP_ADD, Button::Add},
                                                         {B_EDIT_TERM, Button::Edit},
                                                         {B_IP_DEL, Button::Delete},
                                                         {B_RECONNECT, Button::Reconnect},
                                                         {B_USER_ENROLL, Button::Enroll},
                                                         {B_USER_DELETE, Button::DeleteUser},
                                                         {B_VIEW_TEMPLATES, Button::ViewUsers},
                                                         {B_SYNCHRONIZE_NEW_UNIT, Button::NewUnit},
                                                         {B_RESET_PASSWORD, Button::ResetPassword}};
    for (const auto &[button, picture] : pictures) {
        button->setIcon(Artwork::buttonIcon(picture));
        button->setIconSize(QSize(24, 24));
    }
}

// Screen readers, and tests that drive the station through its accessibility tree, find
// every control by the name a person sees next to it.
void F_MAIN::nameForAssistiveTechnology()
{
    const std::pair<QLabel *, QLineEdit *> labelled[] = {
        {Label7, INP_USER_NUMBER}, {Label1, INP_SERIAL_PORT}, {Label14, INP_PASSWORD},
        {Label11, INP_PREFIX},     {Label13, INP_SUFFIX},     {Label6, INP_IP}};
    const char *names[] = {"User Number", "Serial Port Number", "Password", "Prefix",
                           "Suffix",      "IP address"};
    for (int i = 0; i < 6; ++i) {
        labelled[i].first->setBuddy(labelled[i].second);
        labelled[i].second->setAccessibleName(QString::fromLatin1(names[i]));
    }
    // Picture buttons without a caption are named by their tooltip.
    B_EDIT_DIR_TEMPLATE->setAccessibleName(B_EDIT_DIR_TEMPLATE->toolTip());
    B_EDIT_TERM->setAccessibleName(B_EDIT_TERM->toolTip());
    B_VIEW_TEMPLATES->setAccessibleName(B_VIEW_TEMPLATES->toolTip().simplified());
    B_RESET_PASSWORD->setAccessibleName(B_RESET_PASSWORD->toolTip());
    B_IP_ADD->setAccessibleName(QStringLiteral("Add a target unit"));
    B_IP_ADD->setToolTip(B_IP_ADD->accessibleName());
    B_IP_DEL->setAccessibleName(QStringLiteral("Delete the selected target unit"));
    B_IP_DEL->setToolTip(B_IP_DEL->accessibleName());
    LST_IP->setAccessibleName(Label3[3]->text());
    // Labels that show a changing value are named by that value; their role describes them.
    const std::pair<QLabel *, const char *> values[] = {
        {AFF_MSG[0], "Message line 1"},
        {AFF_MSG[1], "Message line 2"},
        {AFF_MSG[2], "Source unit error"},
        {AFF_SERIAL_STATUS, "Serial status"},
        {AFF_TCP_STATUS, "TCP status"},
        {AFF_SCORE, "Template quality"},
        {AFF_LST_USER, "Last user read"},
        {AFF_LST_USER_DATE, "Date of the last read"},
        {AFF_LST_USER_TIME, "Time of the last read"},
        {AFF_DIR_TEMPLATES, "Templates folder"},
        {AFF_CURDIR, "Configuration folder"},
        {AFF_IP_SERVER, "Trelvane IP address"}};
    for (const auto &[label, role] : values)
        showValueToAssistiveTechnology(label, QString::fromLatin1(role));
    // The banner and the link status are read out as they change, without the operator
    // going to look for them.
    makeLiveRegion(FR_MSG);
    coverWithPanel(FR_SOURCE, FR_MSG);
    makeLiveRegion(AFF_SERIAL_STATUS);
}
