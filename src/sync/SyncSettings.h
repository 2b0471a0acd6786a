#pragma once

#include "sync/SyncJob.h"

#include <QString>
#include <QUrl>

#include <optional>

class SettingsService;

namespace synchro {

// What the user set for the synchronisation; the password never goes into the settings file.
struct SyncSettings
{
    QString address;
    QString user;
    bool automatic = false; // at start and every `minutes`
    int minutes = 30;
};

// The saved settings, read by the window and by the command line alike.
SyncSettings ReadSyncSettings(const SettingsService& file);
bool SaveSyncSettings(SettingsService& file, const SyncSettings& settings);

// A run with these settings: the address as the program will use it, the user, and the password
// given or else the saved one. None, with `why`, when the address cannot be used; one unencrypted
// elsewhere only with `plainAccepted` (the window asked about it when it was saved).
std::optional<SyncRequest> RunRequest(const SyncSettings& settings, bool plainAccepted, QString* why,
                                      const std::optional<QString>& password = std::nullopt);

// An address the program will talk to: https, or plain http on this computer only. `why` says
// what is wrong with any other, in Czech; `plainElsewhere` tells an http address elsewhere,
// which the user may still choose after a question.
bool UsableAddress(const QString& text, QUrl* url, bool* plainElsewhere, QString* why);

// The password of a user at an address: from the desktop's secret store, or, where none
// runs, from this run's memory. Saving tells whether the secret store took it.
QString ReadPassword(const QString& address, const QString& user);
bool SavePassword(const QString& address, const QString& user, const QString& password);

} // namespace synchro
