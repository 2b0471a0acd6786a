#include "db/ErrorLog.h"

#include "app/AppContext.h"

#include <QDateTime>
#include <QFile>
#include <QStringEncoder>

QString ErrorLogPath()
{
    return app::ExecutableDir() + QStringLiteral("Error.log");
}

QString LogTimestamp()
{
    // The program speaks Czech: the Czech short date and long time forms.
    return QDateTime::currentDateTime().toString(QStringLiteral("d.M.yyyy H:mm:ss"));
}

void WriteErrorLog(const QString& text)
{
    QFile file(ErrorLogPath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        throw FileError(QStringLiteral("Nelze zapsat do souboru %1: %2").arg(file.fileName(), file.errorString()));
    QStringEncoder encoder("windows-1250");
    const QByteArray line = encoder.encode(LogTimestamp() + QStringLiteral(": ") + text + QStringLiteral("\r\n"));
    if (file.write(line) != line.size() || !file.flush())
        throw FileError(QStringLiteral("Nelze zapsat do souboru %1: %2").arg(file.fileName(), file.errorString()));
}
