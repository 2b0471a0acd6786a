#pragma once

#include <QDialog>

struct Services;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace synchro {

struct SyncSettings;

// "Nástroje" › "Synchronizace…": the address book's address, the user, the password and the
// automatic synchronisation.
class TDialogSync : public QDialog
{
    Q_OBJECT
public:
    explicit TDialogSync(QWidget* parent = nullptr);
    void fill(const SyncSettings& settings, const QString& password);
    SyncSettings settings() const;
    QString password() const;

    QLineEdit* Adresa = nullptr;
    QLineEdit* Uzivatel = nullptr;
    QLineEdit* Heslo = nullptr;
    QCheckBox* Automaticky = nullptr;
    QSpinBox* Minuty = nullptr;
    QPushButton* Synchronizovat = nullptr;
    QPushButton* Ulozit = nullptr;
    QPushButton* Zavrit = nullptr;
    // 1 saved, 2 saved and synchronise now
    int choice() const { return m_choice; }

private:
    int m_choice = 0;
};

// The dialog; a sync when the user asks for it there.
void ShowSyncSettings(const Services& app);
// One synchronisation with the saved settings, while the window stays responsive. `quiet` (the
// automatic one) tells its outcome in the status bar only. False when it failed.
bool SynchronizeNow(const Services& app, bool quiet = false);

} // namespace synchro
