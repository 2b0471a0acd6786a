#pragma once

#include <QString>
#include <QUrl>

class MainWindowPort;

namespace synchro {

// What the user set for the synchronisation; the password never goes into the settings file.
struct SyncSettings
{
    QString address;
    QString user;
    bool automatic = false; // at start and every `minutes`
    int minutes = 30;
};

inline constexpr const char* kSettingsSection = "SYNCHRONIZACE";

SyncSettings LoadSyncSettings(const MainWindowPort* main);
bool SaveSyncSettings(MainWindowPort* main, const SyncSettings& settings);

// An address the program will talk to: https, or plain http on this computer only. `why` says
// what is wrong with any other, in Czech; `plainElsewhere` tells an http address elsewhere,
// which the user may still choose after a question.
bool UsableAddress(const QString& text, QUrl* url, bool* plainElsewhere, QString* why);

// The password of a user at an address: from the desktop's secret store, or, where none
// runs, from this run's memory. Saving tells whether the secret store took it.
QString ReadPassword(const QString& address, const QString& user);
bool SavePassword(const QString& address, const QString& user, const QString& password);

} // namespace synchro
