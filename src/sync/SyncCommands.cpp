#include "sync/SyncCommands.h"

#include "exchange/LongOperation.h"
#include "sync/CardDavClient.h"
#include "sync/SyncSettings.h"
#include "sync/Synchronizer.h"
#include "ui/MainWindowPort.h"
#include "ui/MessageDialog.h"
#include "ui/ProgressDisplay.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace synchro {
namespace {

template <typename T> T* Named(T* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

// The address as the program will use it, after the question an unencrypted one needs.
bool AcceptedAddress(MainWindowPort* main, const QString& text, QUrl* url)
{
    bool plain = false;
    QString why;
    if (UsableAddress(text, url, &plain, &why))
        return true;
    if (!plain) {
        ShowMessageDialogOver(main->window(), why, 2, 0);
        return false;
    }
    return ShowMessageDialogOver(main->window(), why + QStringLiteral(" Přesto ji použít?"), 1, 1) == 0;
}

} // namespace

TDialogSync::TDialogSync(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TDialogSync"));
    setWindowTitle(QStringLiteral("Synchronizace"));
    Adresa = Named(new QLineEdit(this), "Adresa");
    Adresa->setPlaceholderText(QStringLiteral("https://server/adresar/"));
    Uzivatel = Named(new QLineEdit(this), "Uzivatel");
    Heslo = Named(new QLineEdit(this), "Heslo");
    Heslo->setEchoMode(QLineEdit::Password);
    Automaticky =
        Named(new QCheckBox(QStringLiteral("Synchronizovat při spuštění a každých"), this), "Automaticky");
    Minuty = Named(new QSpinBox(this), "Minuty");
    Minuty->setRange(1, 1440);
    Synchronizovat = Named(new QPushButton(QStringLiteral("Synchronizovat"), this), "Synchronizovat");
    Ulozit = Named(new QPushButton(QStringLiteral("Uložit"), this), "Ulozit");
    Zavrit = Named(new QPushButton(QStringLiteral("Zavřít"), this), "Zavrit");

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Adresa adresáře nebo serveru:"), Adresa);
    form->addRow(QStringLiteral("Uživatel:"), Uzivatel);
    form->addRow(QStringLiteral("Heslo:"), Heslo);
    auto* automatic = new QHBoxLayout;
    automatic->addWidget(Automaticky);
    automatic->addWidget(Minuty);
    automatic->addWidget(new QLabel(QStringLiteral("minut"), this));
    automatic->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Synchronizovat);
    buttons->addWidget(Ulozit);
    buttons->addWidget(Zavrit);
    auto* all = new QVBoxLayout(this);
    all->addLayout(form);
    all->addLayout(automatic);
    all->addLayout(buttons);
    setMinimumWidth(460);

    connect(Synchronizovat, &QPushButton::clicked, this, [this] {
        m_choice = 2;
        accept();
    });
    connect(Ulozit, &QPushButton::clicked, this, [this] {
        m_choice = 1;
        accept();
    });
    connect(Zavrit, &QPushButton::clicked, this, &QDialog::reject);
}

void TDialogSync::fill(const SyncSettings& s, const QString& password)
{
    Adresa->setText(s.address);
    Uzivatel->setText(s.user);
    Heslo->setText(password);
    Automaticky->setChecked(s.automatic);
    Minuty->setValue(s.minutes);
}

SyncSettings TDialogSync::settings() const
{
    SyncSettings s;
    s.address = Adresa->text().trimmed();
    s.user = Uzivatel->text().trimmed();
    s.automatic = Automaticky->isChecked();
    s.minutes = Minuty->value();
    return s;
}

QString TDialogSync::password() const
{
    return Heslo->text();
}

void ShowSyncSettings(MainWindowPort* main)
{
    const SyncSettings saved = LoadSyncSettings(main);
    TDialogSync dialog(main->window());
    dialog.fill(saved, saved.address.isEmpty() ? QString() : ReadPassword(saved.address, saved.user));
    if (dialog.exec() != QDialog::Accepted)
        return;
    const SyncSettings chosen = dialog.settings();
    QUrl url;
    if (!AcceptedAddress(main, chosen.address, &url))
        return;
    if (!SaveSyncSettings(main, chosen))
        ShowMessageDialogOver(main->window(),
                              QStringLiteral("Nastavení synchronizace nelze uložit do souboru nastavení."), 2,
                              0);
    if (!SavePassword(chosen.address, chosen.user, dialog.password()))
        main->showStatus(QStringLiteral("Heslo nelze uložit do úschovny hesel; platí do ukončení programu."));
    if (dialog.choice() == 2)
        SynchronizeNow(main);
}

void SynchronizeNow(MainWindowPort* main, bool quiet)
{
    auto tell = [&](const QString& text, int icon) {
        main->showStatus(text);
        if (!quiet)
            ShowMessageDialogOver(main->window(), text, icon, 0);
    };
    if (main->readOnly()) {
        tell(QStringLiteral("Seznam je otevřen jen pro čtení; synchronizovat jej nelze."), 2);
        return;
    }
    const SyncSettings s = LoadSyncSettings(main);
    if (s.address.isEmpty()) {
        tell(QStringLiteral("Synchronizace není nastavena: zadejte adresu v Nástroje › Synchronizace…."), 0);
        return;
    }
    QUrl url;
    bool plain = false;
    QString why;
    // An unencrypted address elsewhere was accepted with a question when it was saved.
    if (!UsableAddress(s.address, &url, &plain, &why) && !plain) {
        tell(why, 2);
        return;
    }
    const QString password = ReadPassword(s.address, s.user);
    if (password.isEmpty() && !s.user.isEmpty()) {
        // No secret store keeps it: the password is asked for once in a run.
        if (quiet) {
            main->showStatus(QStringLiteral("Synchronizace čeká na heslo: zadejte je v Nástroje › Synchronizace…"));
            return;
        }
        ShowSyncSettings(main);
        return;
    }
    carddav::CardDavClient client;
    client.setCredentials(s.user, password);
    Synchronizer synchronizer(main->connection(), &client);
    SyncOutcome outcome;
    {
        exchange::LongOperation operation(main, 0, QStringLiteral("Synchronizace"));
        int shownTotal = -1;
        synchronizer.progress = [&](int done, int total) {
            if (ProgressDisplay* progress = main->progress(); progress && total != shownTotal) {
                shownTotal = total;
                progress->start(total, QStringLiteral("Synchronizace"));
            }
            operation.step(done);
            return !operation.stopRequested();
        };
        outcome = synchronizer.run(url);
    }
    const SyncCounts& c = outcome.counts;
    if (c.received + c.deletedHere > 0) {
        main->reopenGrid();
        main->reloadGroups();
    }
    tell(SyncSummary(outcome), outcome.ok || outcome.interrupted ? 0 : 2);
}

} // namespace synchro
