#pragma once

#include <QString>

#include <functional>
#include <utility>

class TMain;

struct CsvTimes
{
    // The CSV import of the rows through the menu and its dialog, and its anchor in the same run:
    // the text import of the same rows.
    double importMs = 0;
    double textImportMs = 0;
    // The CSV export of those rows, the grid showing them alone, and beside it the list export
    // of the same rows.
    double exportMs = 0;
    double listExportMs = 0;
    // The rows the grid showed for the export: all of the imported ones, or the figure is wrong.
    int exported = 0;
};

using Timer = std::function<double(const std::function<void()>&)>;
using PairTimer = std::function<std::pair<double, double>(
    const std::function<void()>&, const std::function<void()>&, const std::function<void()>&)>;

// Imports `rows` new contacts from files written into `folder`; `undo` takes added rows out again.
CsvTimes TimeCsv(TMain& window, const QString& folder, int rows, const Timer& median,
                 const PairTimer& medianPair, const std::function<void()>& undo);
