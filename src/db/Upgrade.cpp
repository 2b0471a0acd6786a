#include "db/Upgrade.h"

#include "db/Engine.h"
#include "db/Query.h"
#include "db/QueryOps.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QVBoxLayout>

int ReadStructureVersion(db::Query* query)
{
    OpenQuery(QStringLiteral("select * from verze"), query, false);
    try {
        query->open();
    } catch (const db::EngineError&) {
        // No version table: a file of the first structure.
        return 1;
    }
    if (!query->isOpen() || query->eof())
        return 0;
    return query->fieldInt(QStringLiteral("DB"));
}

QStringList UpgradeStatements(int version)
{
    QStringList list;
    if (version < 2)
        list << QStringLiteral("create table verze (DB numeric, dat_zmena datetime)")
             << QStringLiteral("alter table zvonisty add icq varchar(15)")
             << QStringLiteral("alter table zvonisty add skype varchar(50)")
             << QStringLiteral("insert into VERZE (DB, dat_zmena) values (2, date()+time())");
    if (version < 3)
        list << QStringLiteral("create table sloupce (id varchar(10), telefon numeric, jmeno numeric, "
                               "organizace numeric, email numeric, poznamka numeric)")
             << QStringLiteral("insert into sloupce (id, telefon, jmeno, organizace, email, poznamka) "
                               "values ('poradi', 0, 1, 2, 3, 4)")
             << QStringLiteral("insert into sloupce (id, telefon, jmeno, organizace, email, poznamka) "
                               "values ('sort', null, 0, null, null, null)")
             << QStringLiteral("alter table sloupce add constraint p_sloupce primary key (id)")
             << QStringLiteral("update VERZE set DB = 3, dat_zmena = date()+time()");
    if (version < 4)
        list << QStringLiteral("insert into sloupce (id, telefon, jmeno, organizace, email, poznamka) "
                               "values ('sirka', 100, 100, 100, 100, 100)")
             << QStringLiteral("update VERZE set DB = 4, dat_zmena = date()+time()");
    return list;
}

TDialogUprStruct::TDialogUprStruct(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("TDialogUprStruct"));
    setFixedSize(263, 70);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* panel = new QFrame(this);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);
    outer->addWidget(panel);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(5, 4, 5, 4);
    layout->setSpacing(3);
    auto* label = new QLabel(QStringLiteral("Probíhá úprava struktur:"), panel);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    layout->addWidget(label);
    ProgressBarAkt = new QProgressBar(panel);
    ProgressBarAkt->setObjectName(QStringLiteral("ProgressBarAkt"));
    ProgressBarCelk = new QProgressBar(panel);
    ProgressBarCelk->setObjectName(QStringLiteral("ProgressBarCelk"));
    for (QProgressBar* bar : {ProgressBarAkt, ProgressBarCelk}) {
        bar->setFixedSize(252, 17);
        bar->setTextVisible(false);
        bar->setRange(0, 1);
        bar->setValue(0);
        layout->addWidget(bar);
    }
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect r = screen->geometry();
        move(r.x() + (r.width() - width()) / 2, r.y() + (r.height() - height()) / 2);
    }
}

bool UpgradeDatabase(int version, db::Query* work, QWidget* owner)
{
    auto* progress = new TDialogUprStruct(owner);
    progress->show();
    progress->ProgressBarAkt->setValue(1);
    QApplication::processEvents();

    // Each statement stands on its own: a failure is reported and the next one still runs.
    for (const QString& statement : UpgradeStatements(version))
        ExecQuery(statement, work);

    progress->ProgressBarCelk->setValue(1);
    QApplication::processEvents();
    progress->close();
    delete progress;
    return true;
}
