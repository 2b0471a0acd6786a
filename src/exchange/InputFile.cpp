#include "exchange/InputFile.h"

#include <QFile>

#include <sys/stat.h>

namespace exchange {

QString SpecialInputRefusal(const QString& path)
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
    return QStringLiteral("Nelze načíst %1: není to obyčejný soubor, ale %2.").arg(path, what);
}

} // namespace exchange
