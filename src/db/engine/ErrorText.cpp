#include "db/engine/ErrorText.h"

#include <QCoreApplication>

#include <cerrno>

namespace db {
namespace {

// The error numbers the toolkit's texts are recognised by.
constexpr int kKnownErrors[] = {EACCES, EPERM,  ENOENT, EROFS,  ENOSPC,       EDQUOT, EISDIR, ENOTDIR,
                                EIO,    EMFILE, ENFILE, EEXIST, ENAMETOOLONG, EBUSY,  EFBIG,  ELOOP,
                                EXDEV,  ENXIO,  ENODEV, EAGAIN, ENOMEM,       ETXTBSY};

// Texts of the toolkit's that carry no error number; matched in English and as translated.
int ErrorOfToolkitText(const QString& text)
{
    static const struct
    {
        const char* context;
        const char* text;
        int err;
    } kTexts[] = {
        {"QIODevice", "file to open is a directory", EISDIR},
        {"QSaveFile", "Filename refers to a directory", EISDIR},
        {"QSaveFile", "Existing file %1 is not writable", EACCES},
        {"QSaveFile", "Partial write. Partition full?", ENOSPC},
    };
    for (const auto& t : kTexts) {
        for (const QString& known :
             {QString::fromLatin1(t.text), QCoreApplication::translate(t.context, t.text)}) {
            const QString head = known.section(QStringLiteral("%1"), 0, 0);
            if (known.contains(QStringLiteral("%1")) ? text.startsWith(head) && !head.isEmpty()
                                                     : text == known)
                return t.err;
        }
    }
    return 0;
}

} // namespace

QString SystemErrorText(int err)
{
    switch (err) {
    case EACCES:
    case EPERM:
        return QStringLiteral("K souboru nebo jeho složce chybí oprávnění.");
    case ENOENT:
        return QStringLiteral("Soubor nebo složka neexistuje.");
    case EROFS:
        return QStringLiteral("Disk je jen pro čtení.");
    case ENOSPC:
        return QStringLiteral("Na disku není volné místo.");
    case EDQUOT:
        return QStringLiteral("Na disku je vyčerpáno místo vyhrazené uživateli.");
    case EISDIR:
        return QStringLiteral("Zadaná cesta je složka, ne soubor.");
    case ENOTDIR:
        return QStringLiteral("Část zadané cesty není složka.");
    case EIO:
        return QStringLiteral("Chyba čtení nebo zápisu na disku.");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("Je otevřeno příliš mnoho souborů.");
    case EEXIST:
        return QStringLiteral("Soubor již existuje.");
    case ENAMETOOLONG:
        return QStringLiteral("Název souboru je příliš dlouhý.");
    case EBUSY:
    case ETXTBSY:
        return QStringLiteral("Soubor je právě používán.");
    case EFBIG:
        return QStringLiteral("Soubor je příliš velký.");
    case ELOOP:
        return QStringLiteral("Cesta obsahuje příliš mnoho symbolických odkazů.");
    case EXDEV:
        return QStringLiteral("Soubor nelze přesunout na jiný disk.");
    case ENXIO:
    case ENODEV:
        return QStringLiteral("Zařízení není k dispozici.");
    case EAGAIN:
        return QStringLiteral("Soubor je zamčen jiným programem.");
    case ENOMEM:
        return QStringLiteral("Nedostatek paměti.");
    default:
        return QStringLiteral("Operace se souborem se nezdařila (chyba systému %1).").arg(err);
    }
}

QString FileErrorText(QFileDevice::FileError error, const QString& toolkitText)
{
    for (const int err : kKnownErrors)
        if (toolkitText == qt_error_string(err))
            return SystemErrorText(err);
    if (const int err = ErrorOfToolkitText(toolkitText))
        return SystemErrorText(err);
    switch (error) {
    case QFileDevice::NoError:
        return QString();
    case QFileDevice::ReadError:
        return QStringLiteral("Soubor nelze přečíst.");
    case QFileDevice::WriteError:
        return QStringLiteral("Do souboru nelze zapsat.");
    case QFileDevice::ResourceError:
        return QStringLiteral("Nedostatek místa na disku nebo paměti.");
    case QFileDevice::OpenError:
        return QStringLiteral("Soubor nelze otevřít.");
    case QFileDevice::AbortError:
        return QStringLiteral("Zápis byl přerušen.");
    case QFileDevice::TimeOutError:
        return QStringLiteral("Soubor neodpověděl včas.");
    case QFileDevice::RemoveError:
        return QStringLiteral("Soubor nelze smazat.");
    case QFileDevice::RenameError:
        return QStringLiteral("Soubor nelze přejmenovat.");
    case QFileDevice::PositionError:
        return QStringLiteral("V souboru nelze přejít na dané místo.");
    case QFileDevice::ResizeError:
        return QStringLiteral("Velikost souboru nelze změnit.");
    case QFileDevice::PermissionsError:
        return QStringLiteral("Oprávnění souboru nelze změnit.");
    case QFileDevice::CopyError:
        return QStringLiteral("Soubor nelze zkopírovat.");
    case QFileDevice::FatalError:
    case QFileDevice::UnspecifiedError:
        break;
    }
    return QStringLiteral("Práce se souborem se nezdařila.");
}

QString FileErrorText(const QFileDevice& file)
{
    return FileErrorText(file.error(), file.errorString());
}

} // namespace db
