#include "TimedRuns.h"

#include "app/AppContext.h"
#include "app/TMain.h"
#include "db/contacts/Query.h"
#include "db/engine/Connection.h"
#include "db/engine/Engine.h"
#include "db/search/SearchIndex.h"
#include "testsupport/MainParts.h"
#include "ui/DBGrid.h"
#include "ui/FileDialog.h"
#include "ui/MessageDialog.h"

#include <QAbstractButton>
#include <QAction>
#include <QButtonGroup>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTextStream>

#include <sqlite3.h>

#include <algorithm>

using testsupport::Parts;

void RawAdd(sqlite3* handle, const char* insertText, const std::function<bool(RowValues&)>& nextRow)
{
    // The page cache the program borrows for its imports.
    sqlite3_exec(handle, "pragma cache_size = -32768", nullptr, nullptr, nullptr);
    sqlite3_exec(handle, "begin", nullptr, nullptr, nullptr);
    sqlite3_stmt* check = nullptr;
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(handle, "select * from zvonisty where telefon=?", -1, &check, nullptr);
    sqlite3_prepare_v2(handle, insertText, -1, &insert, nullptr);
    RowValues row;
    while (nextRow(row)) {
        sqlite3_bind_text(check, 1, row[0].constData(), int(row[0].size()), SQLITE_TRANSIENT);
        const bool present = sqlite3_step(check) == SQLITE_ROW;
        sqlite3_reset(check);
        if (present)
            continue;
        for (size_t c = 0; c < row.size(); ++c)
            sqlite3_bind_text(insert, int(c + 1), row[c].constData(), int(row[c].size()), SQLITE_TRANSIENT);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(check);
    sqlite3_finalize(insert);
    sqlite3_exec(handle, "commit", nullptr, nullptr, nullptr);
    sqlite3_exec(handle, "pragma cache_size = -2048", nullptr, nullptr, nullptr);
}

std::pair<double, double> MedianPair(const std::function<void()>& program, const std::function<void()>& raw,
                                     const std::function<void()>& undo)
{
    std::vector<double> p, r;
    for (int i = 0; i < 3; ++i) {
        for (auto* list : {&p, &r}) {
            QElapsedTimer t;
            t.start();
            (list == &p ? program : raw)();
            list->push_back(double(t.nsecsElapsed()) / 1e6);
            undo();
        }
    }
    std::sort(p.begin(), p.end());
    std::sort(r.begin(), r.end());
    return {p[1], r[1]};
}

std::pair<double, double> TimeMerge(TMain& window, const QString& otherFile,
                                    const std::function<void()>& undo)
{
    sqlite3* handle = Parts(window).ADOConnection1->handle();
    return MedianPair(
        [&] {
            FileDialog::setNextFileName(otherFile);
            Parts(window).PidatzznamyzjinDBjennovsla1->trigger();
            Parts(window).DBGrid1->viewport()->repaint();
        },
        [&] {
            sqlite3* source = nullptr;
            sqlite3_open_v2(QFile::encodeName(otherFile).constData(), &source, SQLITE_OPEN_READONLY, nullptr);
            db::RegisterEngine(source);
            sqlite3_stmt* all = nullptr;
            sqlite3_prepare_v2(source,
                               "select telefon, jmeno, email, poznamka, organizace, skupina, icq, skype "
                               "from zvonisty",
                               -1, &all, nullptr);
            RawAdd(handle,
                   "insert into zvonisty (telefon, jmeno, email, poznamka, datum, organizace, skupina, icq, "
                   "skype) values (?, ?, ?, ?, '8.12.2026', ?, ?, ?, ?)",
                   [&](RowValues& row) {
                       if (sqlite3_step(all) != SQLITE_ROW)
                           return false;
                       row.resize(8);
                       for (int c = 0; c < 8; ++c)
                           row[c] = QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(all, c)),
                                               sqlite3_column_bytes(all, c));
                       return true;
                   });
            sqlite3_finalize(all);
            sqlite3_close(source);
        },
        undo);
}

QList<TimedRun> TimeSearchesNow(TMain& window, const QString& when)
{
    struct Asked
    {
        const char* name;
        int column;
        const char* text;
    };
    static const Asked searches[] = {
        {"all columns \"nov\"", 5, "nov"}, {"name \"a\"", 0, "a"}, {"phone \"60\"", 2, "60"}};
    QList<TimedRun> runs;
    // In every group.
    Parts(window).VyberSkupinu->setCurrentIndex(0);
    for (const Asked& s : searches) {
        // Choosing the column searches at once: the time counts from there.
        QElapsedTimer t;
        t.start();
        Parts(window).hledat_dleButtons->button(s.column)->setChecked(true);
        Parts(window).Hledani->setText(QString::fromUtf8(s.text));
        Parts(window).Najdi->click();
        Parts(window).DBGrid1->viewport()->repaint();
        const double shownMs = double(t.nsecsElapsed()) / 1e6;
        const QString name = when + QLatin1Char(' ') + QString::fromUtf8(s.name);
        db::Query* rows = Parts(window).ADOQuery1;
        // Shown before it was counted: also the time until every row is there, as the window
        // counts it while idle.
        const bool counting = rows->counting();
        // Waiting as the window's own loop does: a loop given a time would spin meanwhile and take
        // a processor from the reading beside the window.
        while (rows->counting())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        runs << TimedRun{name, rows->sql(), shownMs, 0, rows->recordCount()};
        if (counting)
            runs << TimedRun{name + QStringLiteral(" counted"), rows->sql(), double(t.nsecsElapsed()) / 1e6,
                             0, rows->recordCount()};
    }
    return runs;
}

void ClearSearchBar(TMain& window)
{
    Parts(window).VyberSkupinu->setCurrentIndex(0);
    Parts(window).hledat_dleButtons->button(0)->setChecked(true);
    Parts(window).Hledani->clear();
    Parts(window).Najdi->click();
}

namespace {

// The window on the directory of `folder`, as the benchmark opens its own.
bool OpenWindow(const QString& folder, std::unique_ptr<TMain>* window)
{
    QDir::setCurrent(folder);
    app::SetExecutableDir(folder);
    MessageDialogSeam::setTestMode(true);
    FileDialog::setTestMode(true);
    *window = std::make_unique<TMain>();
    if (!(*window)->started())
        return false;
    (*window)->resize(800, 600);
    (*window)->show();
    QCoreApplication::processEvents();
    Parts(**window).DBGrid1->viewport()->repaint();
    return true;
}

// Closed without a question, as the benchmark leaves its own window.
void Leave(TMain& window)
{
    Parts(window).MinimalizovataplikacipistiskuAltF41->setChecked(false);
    Parts(window).Dotazpiuzaven1->setChecked(false);
}

void Write(const QList<TimedRun>& runs)
{
    QTextStream out(stdout);
    for (const TimedRun& r : runs)
        out << r.name << '\t' << r.statement << '\t' << r.programMs << '\t' << r.rawMs << '\t' << r.rows
            << Qt::endl;
}

} // namespace

int RunFirstFrameSearches(const QString& folder, const QString& label)
{
    std::unique_ptr<TMain> window;
    if (!OpenWindow(folder, &window))
        return 1;
    Write(TimeSearchesNow(*window, label));
    // Read whole before leaving, as a session of some length leaves it: the close keeps a copy.
    if (db::SearchIndex* index = db::SearchIndex::Of(Parts(*window).ADOConnection1))
        index->buildNow();
    Leave(*window);
    return 0;
}

int RunMergeInto(const QString& folder, const QString& otherFile)
{
    std::unique_ptr<TMain> window;
    if (!OpenWindow(folder, &window))
        return 1;
    sqlite3* handle = Parts(*window).ADOConnection1->handle();
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(handle, "select ifnull(max(id), 0) from zvonisty", -1, &s, nullptr);
    sqlite3_step(s);
    const qint64 lastId = sqlite3_column_int64(s, 0);
    sqlite3_finalize(s);
    const auto [programMs, rawMs] = TimeMerge(*window, otherFile, [&] {
        sqlite3_exec(handle,
                     QByteArray("delete from zvonisty where id > " + QByteArray::number(lastId)).constData(),
                     nullptr, nullptr, nullptr);
        window->reopenGrid();
    });
    Write({TimedRun{QString(), QString(), programMs, rawMs, 0}});
    Leave(*window);
    return 0;
}

QList<TimedRun> RunOnItsOwn(const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QCoreApplication::applicationFilePath(), arguments);
    process.waitForFinished(-1);
    QList<TimedRun> runs;
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return runs;
    for (const QByteArray& line : process.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> parts = line.split('\t');
        if (parts.size() == 5)
            runs << TimedRun{QString::fromUtf8(parts[0]), QString::fromUtf8(parts[1]), parts[2].toDouble(),
                             parts[3].toDouble(), parts[4].toInt()};
    }
    return runs;
}
