#include "db/engine/ErrorLog.h"

#include "db/engine/ErrorText.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QStringEncoder>

namespace {

QString g_logDir;
// A statement is logged to find what failed, not to keep its values: a few kilobytes tell it.
constexpr qsizetype kLoggedChars = 4000;

} // namespace

QString LoggedText(const QString& text)
{
    if (text.size() <= kLoggedChars)
        return text;
    qsizetype kept = kLoggedChars;
    if (text.at(kept - 1).isHighSurrogate())
        --kept;
    return text.left(kept) + QStringLiteral("… (celkem %1 znaků)").arg(text.size());
}

void SetErrorLogDir(const QString& dir)
{
    g_logDir = dir.isEmpty() || dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/');
}

QString ErrorLogPath()
{
    const QString dir =
        g_logDir.isEmpty() ? QCoreApplication::applicationDirPath() + QLatin1Char('/') : g_logDir;
    return dir + QStringLiteral("Error.log");
}

QString LogTimestamp()
{
    // The program speaks Czech: the Czech short date and long time forms.
    return QDateTime::currentDateTime().toString(QStringLiteral("d.M.yyyy H:mm:ss"));
}

bool WriteErrorLog(const QString& text, QString* why)
{
    QFile file(ErrorLogPath());
    QStringEncoder encoder("windows-1250");
    const QByteArray line =
        encoder.encode(LogTimestamp() + QStringLiteral(": ") + LoggedText(text) + QStringLiteral("\r\n"));
    // Unbuffered, so a full disk shows in the write itself and not in a later flush.
    if (file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered) &&
        file.write(line) == line.size())
        return true;
    if (why)
        *why = QStringLiteral("Nelze zapsat do souboru %1: %2").arg(file.fileName(), db::FileErrorText(file));
    return false;
}
