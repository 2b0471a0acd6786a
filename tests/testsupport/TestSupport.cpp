#include "testsupport/TestSupport.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>

namespace testsupport {

QString ReadCp1250(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    QStringDecoder decoder("windows-1250");
    return decoder.decode(f.readAll());
}

void WriteCp1250(const QString& path, const QString& text)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    QStringEncoder encoder("windows-1250");
    f.write(encoder.encode(text));
}

} // namespace testsupport
