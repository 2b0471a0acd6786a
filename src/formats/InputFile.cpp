#include "formats/InputFile.h"

#include <QFile>
#include <QIODevice>

#include <sys/stat.h>

namespace exchange {

QString NotRegularFileReason(const QString& path)
{
    struct stat info
    {
    };
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    const mode_t mode = info.st_mode;
    QString what;
    if (S_ISREG(mode))
        return {};
    if (S_ISDIR(mode))
        what = QStringLiteral("složka");
    else if (S_ISFIFO(mode))
        what = QStringLiteral("pojmenovaná roura");
    else if (S_ISSOCK(mode))
        what = QStringLiteral("soket");
    else if (S_ISCHR(mode) || S_ISBLK(mode))
        what = QStringLiteral("zařízení");
    else
        what = QStringLiteral("zvláštní soubor");
    return QStringLiteral("není to obyčejný soubor, ale %1").arg(what);
}

QString SpecialInputRefusal(const QString& path)
{
    const QString reason = NotRegularFileReason(path);
    return reason.isEmpty() ? reason : QStringLiteral("Nelze načíst %1: %2.").arg(path, reason);
}

bool ReadInPieces(QIODevice& device, const std::function<void(QByteArrayView)>& take)
{
    QByteArray piece(256 * 1024, Qt::Uninitialized);
    for (;;) {
        const qint64 got = device.read(piece.data(), piece.size());
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        take(QByteArrayView(piece.constData(), got));
    }
}

} // namespace exchange
