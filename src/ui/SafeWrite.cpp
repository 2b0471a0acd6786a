#include "ui/SafeWrite.h"

#include "db/engine/ErrorText.h"

#include <QFileInfo>
#include <QSaveFile>

bool SafeWriteFile(const QString& path, const QByteArray& data, QString* why)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        if (why)
            *why = QStringLiteral("Soubor %1 není obyčejný soubor.").arg(info.absoluteFilePath());
        return false;
    }
    QSaveFile file(path);
    // Unbuffered: QSaveFile::commit() has been seen to report success after its own buffered
    // flush failed on a full disk, so each write must show its failure itself.
    bool ok = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    qsizetype written = 0;
    while (ok && written < data.size()) {
        const qint64 n = file.write(data.constData() + written, data.size() - written);
        if (n <= 0)
            ok = false;
        else
            written += n;
    }
    ok = ok && file.error() == QFileDevice::NoError;
    if (ok && file.commit())
        return true;
    if (why)
        *why = QStringLiteral("Nelze zapsat soubor %1: %2")
                   .arg(info.absoluteFilePath(), db::FileErrorText(file));
    file.cancelWriting();
    return false;
}
