#include "PseudoTerminal.h"

// Windows has no pseudo-terminals: on the Windows build the simulated unit serves TCP and UDP
// only, and a test that needs a serial peer there uses the Linux unit behind a Wine COM port.

PseudoTerminal::PseudoTerminal(QObject *parent) : QObject(parent) {}

PseudoTerminal::~PseudoTerminal() = default;

bool PseudoTerminal::fail(const QString &what)
{
    m_error = what;
    return false;
}

bool PseudoTerminal::open(const QString &linkPath)
{
    m_linkPath = linkPath;
    return fail(QStringLiteral("pseudo-terminals do not exist on Windows"));
}

void PseudoTerminal::close() {}

qint64 PseudoTerminal::write(const QByteArray &)
{
    return -1;
}

QByteArray PseudoTerminal::readAll()
{
    return {};
}

bool PseudoTerminal::readMaster()
{
    return false;
}

void PseudoTerminal::flushOut() {}
