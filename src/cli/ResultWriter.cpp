#include "cli/ResultWriter.h"

#include "cli/PlainText.h"
#include "station/StationState.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

namespace {

// A target line holds the address up to column 17 and the description after it.
constexpr int kAddressColumns = 17;

QString modeName(StationState::Mode mode)
{
    switch (mode) {
    case StationState::Mode::Enroll:
        return QStringLiteral("enroll");
    case StationState::Mode::Read:
        return QStringLiteral("read");
    case StationState::Mode::None:
        break;
    }
    return QStringLiteral("none");
}

QJsonObject targetObject(const QString &line)
{
    return QJsonObject{{QStringLiteral("address"), line.left(kAddressColumns).trimmed()},
                       {QStringLiteral("description"), line.mid(kAddressColumns).trimmed()}};
}

} // namespace

StatusResult StatusResult::of(const StationState &state, bool handshakeAnswered)
{
    StatusResult result;
    result.link = captionOf(state.sourceStatus());
    result.detail = state.sourceStatusDetail();
    result.handshakeAnswered = handshakeAnswered;
    result.mode = modeName(state.mode());
    for (const TargetUnit &target : state.targets())
        if (target.ticked)
            result.tickedTargets << target.line;
    return result;
}

void ResultWriter::writeJson(const QJsonObject &object)
{
    m_out << QJsonDocument(object).toJson(QJsonDocument::Indented);
    m_out.flush();
}

void ResultWriter::writeLine(const QString &name, const QString &value)
{
    m_out << name << ": " << plainText(value) << '\n';
}

void ResultWriter::writeStatus(const StatusResult &status)
{
    if (m_json) {
        QJsonArray targets;
        for (const QString &line : status.tickedTargets)
            targets.append(targetObject(line));
        writeJson({{QStringLiteral("link"), status.link},
                   {QStringLiteral("detail"), status.detail},
                   {QStringLiteral("handshakeAnswered"), status.handshakeAnswered},
                   {QStringLiteral("mode"), status.mode},
                   {QStringLiteral("tickedTargets"), targets}});
        return;
    }
    writeLine(QStringLiteral("link"), status.link);
    writeLine(QStringLiteral("detail"), status.detail);
    writeLine(QStringLiteral("handshake"), status.handshakeAnswered
                                               ? QStringLiteral("answered")
                                               : QStringLiteral("not answered"));
    writeLine(QStringLiteral("mode"), status.mode);
    for (const QString &line : status.tickedTargets)
        writeLine(QStringLiteral("target"), line.trimmed());
    m_out.flush();
}

void ResultWriter::writeUsers(const QString &unit, const QList<UserEntry> &users)
{
    if (m_json) {
        QJsonArray list;
        for (const UserEntry &entry : users)
            list.append(QJsonObject{{QStringLiteral("user"), entry.user},
                                    {QStringLiteral("templates"), entry.templates}});
        writeJson({{QStringLiteral("unit"), unit.isEmpty() ? QStringLiteral("source") : unit},
                   {QStringLiteral("users"), list}});
        return;
    }
    for (const UserEntry &entry : users)
        m_out << plainText(entry.user) << '\t' << entry.templates << '\n';
    m_out.flush();
}

void ResultWriter::writeOperation(const OperationResult &result)
{
    if (m_json) {
        QJsonObject object{
            {QStringLiteral("operation"), result.operation},
            {QStringLiteral("user"), result.user},
            {QStringLiteral("templatesStored"), result.templatesStored},
            {QStringLiteral("targetsReached"), QJsonArray::fromStringList(result.targetsReached)},
            {QStringLiteral("targetsMissed"), QJsonArray::fromStringList(result.targetsMissed)}};
        if (!result.quality.isEmpty())
            object.insert(QStringLiteral("quality"), result.quality);
        writeJson(object);
        return;
    }
    writeLine(QStringLiteral("user"), result.user);
    if (!result.quality.isEmpty())
        writeLine(QStringLiteral("quality"), result.quality);
    writeLine(QStringLiteral("templates stored"), QString::number(result.templatesStored));
    for (const QString &target : result.targetsReached)
        writeLine(QStringLiteral("target reached"), target);
    for (const QString &target : result.targetsMissed)
        writeLine(QStringLiteral("target missed"), target);
    m_out.flush();
}
