#include "sync/SyncCommands.h"

#include "db/contacts/Directory.h"
#include "sync/SyncJob.h"
#include "sync/SyncSettings.h"
#include "ui/MainWindowPort.h"
#include "ui/MessageDialog.h"
#include "ui/ProgressDisplay.h"
#include "ui/Services.h"

#include <QCheckBox>
#include <QCloseEvent>
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
bool AcceptedAddress(const Services& app, const QString& text, QUrl* url)
{
    bool plain = false;
    QString why;
    if (UsableAddress(text, url, &plain, &why))
        return true;
    if (!plain) {
        ShowMessageDialogOver(app.window.window(), why, 2, 0);
        return false;
    }
    return ShowMessageDialogOver(app.window.window(), why + QStringLiteral(" Přesto ji použít?"), 1,
                                 kYesNoDefaultNo) == 0;
}

// While a synchronisation runs: the other commands are off, the progress is shown, and closing
// the window stops the run at the next card and closes the window after it.
class RunFrame : public QObject
{
public:
    RunFrame(const Services& app, SyncJob* job) : m_app(app), m_job(job)
    {
        app.window.setCommandsEnabled(false);
        // The last command's summary would read as this run's.
        app.status.show(QString());
        app.window.window()->installEventFilter(this);
        if (ProgressDisplay* progress = app.status.progress())
            progress->start(0, QStringLiteral("Synchronizace"));
        job->progress = [this](int done, int total) { show(done, total); };
    }
    ~RunFrame() override
    {
        if (ProgressDisplay* progress = m_app.status.progress())
            progress->finish();
        m_app.window.setCommandsEnabled(true);
        if (m_closeAsked)
            QMetaObject::invokeMethod(m_app.window.window(), &QWidget::close, Qt::QueuedConnection);
    }
    bool closeAsked() const { return m_closeAsked; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != m_app.window.window() || event->type() != QEvent::Close)
            return false;
        m_closeAsked = true;
        m_job->stop();
        event->ignore();
        return true;
    }

private:
    void show(int done, int total)
    {
        ProgressDisplay* progress = m_app.status.progress();
        if (!progress)
            return;
        if (total != m_shownTotal) {
            m_shownTotal = total;
            progress->start(total, QStringLiteral("Synchronizace"));
        }
        progress->setPosition(done);
        if (progress->stopRequested())
            m_job->stop();
    }

    const Services m_app;
    SyncJob* m_job;
    int m_shownTotal = 0;
    bool m_closeAsked = false;
};

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

void ShowSyncSettings(const Services& app)
{
    const SyncSettings saved = ReadSyncSettings(app.settings);
    TDialogSync dialog(app.window.window());
    dialog.fill(saved, saved.address.isEmpty() ? QString() : ReadPassword(saved.address, saved.user));
    // The dialog comes back with what was typed until the settings can be used or it is closed.
    for (;;) {
        if (dialog.exec() != QDialog::Accepted)
            return;
        const SyncSettings chosen = dialog.settings();
        QUrl url;
        if (!AcceptedAddress(app, chosen.address, &url))
            continue;
        if (!chosen.user.isEmpty() && dialog.password().isEmpty()) {
            ShowMessageDialogOver(
                app.window.window(),
                QStringLiteral("Zadejte heslo uživatele %1 pro server %2.").arg(chosen.user, url.host()), 0,
                0);
            dialog.Heslo->setFocus();
            continue;
        }
        if (!SaveSyncSettings(app.settings, chosen))
            ShowMessageDialogOver(
                app.window.window(),
                QStringLiteral("Nastavení synchronizace nelze uložit do souboru nastavení."), 2, 0);
        if (!SavePassword(chosen.address, chosen.user, dialog.password()))
            app.status.show(
                QStringLiteral("Heslo nelze uložit do úschovny hesel; platí do ukončení programu."));
        if (dialog.choice() != 2 || SynchronizeNow(app))
            return;
    }
}

bool SynchronizeNow(const Services& app, bool quiet)
{
    auto tell = [&](const QString& text, int icon) {
        app.status.show(text);
        if (!quiet)
            ShowMessageDialogOver(app.window.window(), text, icon, 0);
    };
    if (SyncJob::running())
        return true;
    if (app.window.readOnly()) {
        tell(QStringLiteral("Seznam je otevřen jen pro čtení; synchronizovat jej nelze."), 2);
        return true;
    }
    const SyncSettings s = ReadSyncSettings(app.settings);
    if (s.address.isEmpty()) {
        tell(QStringLiteral("Synchronizace není nastavena: zadejte adresu v Nástroje › Synchronizace…."), 0);
        return true;
    }
    QString why;
    // An unencrypted address elsewhere was accepted with a question when it was saved.
    const std::optional<SyncRequest> request = RunRequest(s, true, &why);
    if (!request) {
        tell(why, 2);
        return false;
    }
    if (request->password.isEmpty() && !s.user.isEmpty()) {
        // No secret store keeps it: the password is asked for once in a run.
        const QString ask =
            QStringLiteral(
                "Synchronizace čeká na heslo uživatele %1: zadejte je v Nástroje › Synchronizace….")
                .arg(s.user);
        tell(ask, 0);
        if (!quiet)
            ShowSyncSettings(app);
        return true;
    }
    SyncJob job(app.window.directory().connection());
    job.emptied = [&](const EmptiedSide& side) {
        // Nobody is there to answer an automatic run: the user decides at the next one of their own.
        if (quiet)
            return EmptiedChoice::Stop;
        return ShowMessageDialogOver(app.window.window(), EmptiedQuestion(side), 1, kYesNoDefaultNo) == 0
                   ? EmptiedChoice::Delete
                   : EmptiedChoice::Restore;
    };
    SyncOutcome outcome;
    {
        RunFrame frame(app, &job);
        outcome = job.run(*request);
        if (frame.closeAsked())
            quiet = true;
    }
    const SyncCounts& c = outcome.counts;
    if (c.received + c.deletedHere > 0) {
        app.window.reopenGrid();
        app.window.reloadGroups();
    }
    tell(SyncSummary(outcome), outcome.ok || outcome.interrupted ? 0 : 2);
    return outcome.ok || outcome.interrupted;
}

} // namespace synchro
