#include "sync/SyncSettings.h"
#include "sync/DavPaths.h"

#include "ui/Services.h"

#include <QEventLoop>
#include <QHash>
#include <QTimer>

#include <qt6keychain/keychain.h>

namespace synchro {
namespace {

const QString kService = QStringLiteral("Zvonisty");
const QString kSection = QStringLiteral("SYNCHRONIZACE");
const QString kAddress = QStringLiteral("Adresa");
const QString kUser = QStringLiteral("Uzivatel");
const QString kAutomatic = QStringLiteral("Automaticky");
const QString kMinutes = QStringLiteral("Minuty");

// Where no secret store runs, the password lives until the program ends.
QHash<QString, QString>& RunPasswords()
{
    static QHash<QString, QString> passwords;
    return passwords;
}

QString Account(const QString& address, const QString& user)
{
    return user + QLatin1Char('@') + address;
}

// Runs a job of the secret store to its end; a store that does not answer in 5 s counts as none.
bool Finish(QKeychain::Job* job)
{
    QEventLoop loop;
    bool finished = false;
    QObject::connect(job, &QKeychain::Job::finished, &loop, [&] {
        finished = true;
        loop.quit();
    });
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    job->start();
    if (!finished)
        loop.exec();
    return finished && job->error() == QKeychain::NoError;
}

} // namespace

SyncSettings ReadSyncSettings(const SettingsService& file)
{
    SyncSettings s;
    s.address = file.value(kSection, kAddress);
    s.user = file.value(kSection, kUser);
    s.automatic = file.value(kSection, kAutomatic) == QLatin1String("1");
    bool ok = false;
    const int minutes = file.value(kSection, kMinutes).toInt(&ok);
    s.minutes = ok && minutes >= 1 && minutes <= 1440 ? minutes : 30;
    return s;
}

bool SaveSyncSettings(SettingsService& file, const SyncSettings& s)
{
    return file.setValue(kSection, kAddress, s.address) && file.setValue(kSection, kUser, s.user) &&
           file.setValue(kSection, kAutomatic, s.automatic ? QStringLiteral("1") : QStringLiteral("0")) &&
           file.setValue(kSection, kMinutes, QString::number(s.minutes));
}

std::optional<SyncRequest> RunRequest(const SyncSettings& s, bool plainAccepted, QString* why,
                                      const std::optional<QString>& password)
{
    SyncRequest request;
    bool plain = false;
    if (!UsableAddress(s.address, &request.address, &plain, why) && !(plain && plainAccepted))
        return std::nullopt;
    request.user = s.user;
    request.password = password ? *password : ReadPassword(s.address, s.user);
    return request;
}

bool UsableAddress(const QString& text, QUrl* url, bool* plainElsewhere, QString* why)
{
    *plainElsewhere = false;
    QString t = text.trimmed();
    if (!t.isEmpty() && !t.contains(QStringLiteral("://")))
        t.prepend(QStringLiteral("https://"));
    *url = QUrl(t, QUrl::StrictMode);
    if (t.isEmpty() || !url->isValid() || url->host().isEmpty()) {
        *why = QStringLiteral("Adresa serveru není platná.");
        return false;
    }
    // Written into the address, the password would be shown and kept wherever the address is.
    if (!url->userInfo().isEmpty()) {
        *why = QStringLiteral("Adresa %1 nesmí obsahovat jméno a heslo; zadejte je do jejich polí.")
                   .arg(carddav::DisplayAddress(*url));
        return false;
    }
    const QString scheme = url->scheme().toLower();
    if (scheme == QLatin1String("https"))
        return true;
    if (scheme != QLatin1String("http")) {
        *why = QStringLiteral("Adresa musí začínat https://.");
        return false;
    }
    const QString host = url->host().toLower();
    if (host == QLatin1String("localhost") || host == QLatin1String("127.0.0.1") ||
        host == QLatin1String("::1"))
        return true;
    *plainElsewhere = true;
    *why = QStringLiteral("Adresa %1 není šifrovaná: jméno, heslo i kontakty by šly sítí čitelně.")
               .arg(carddav::DisplayAddress(*url));
    return false;
}

QString ReadPassword(const QString& address, const QString& user)
{
    const QString account = Account(address, user);
    if (RunPasswords().contains(account))
        return RunPasswords().value(account);
    QKeychain::ReadPasswordJob job(kService);
    job.setAutoDelete(false);
    job.setKey(account);
    return Finish(&job) ? job.textData() : QString();
}

bool SavePassword(const QString& address, const QString& user, const QString& password)
{
    const QString account = Account(address, user);
    QKeychain::WritePasswordJob job(kService);
    job.setAutoDelete(false);
    job.setKey(account);
    job.setTextData(password);
    const bool stored = Finish(&job);
    if (stored)
        RunPasswords().remove(account);
    else
        RunPasswords().insert(account, password);
    return stored;
}

} // namespace synchro
