#include "db/engine/OpeningProgress.h"

#include <QtGlobal>

#include <sqlite3.h>

namespace db {
namespace {

struct Installed
{
    OpeningProgressReporter reporter;
    int beatInstructions = kOpeningBeatInstructions;
};

Installed& Current()
{
    static Installed installed;
    return installed;
}

} // namespace

void SetOpeningProgress(OpeningProgressReporter reporter, int beatInstructions)
{
    Current() = Installed{std::move(reporter), qMax(1, beatInstructions)};
}

void ReportOpeningStep(const OpeningStep& step) noexcept
{
    try {
        if (Current().reporter)
            Current().reporter(step);
    } catch (...) {
        // A failing display must not stop what it shows.
    }
}

OpeningProgress::OpeningProgress(sqlite3* handle)
    : m_handle(handle), m_reporter(Current().reporter), m_beatInstructions(Current().beatInstructions)
{
}

OpeningProgress::~OpeningProgress()
{
    // The engine must never call back into an opening that is over.
    if (m_reporter)
        sqlite3_progress_handler(m_handle, 0, nullptr, nullptr);
}

int OpeningProgress::Beat(void* self) noexcept
{
    static_cast<OpeningProgress*>(self)->report(true);
    return 0; // anything else would abort the statement
}

void OpeningProgress::report(bool working) noexcept
{
    m_step.working = working;
    try {
        m_reporter(m_step);
    } catch (...) {
        // A failing display must neither stop the opening nor unwind through the engine.
    }
}

OpeningProgress::Step::Step(OpeningProgress& progress, const QString& text) : m_progress(progress)
{
    if (!progress.m_reporter)
        return;
    progress.m_step.text = text;
    progress.m_step.total = qMax(progress.m_total, progress.m_step.done + 1);
    progress.report(false);
    sqlite3_progress_handler(progress.m_handle, progress.m_beatInstructions, &OpeningProgress::Beat,
                             &progress);
}

OpeningProgress::Step::~Step()
{
    if (!m_progress.m_reporter)
        return;
    sqlite3_progress_handler(m_progress.m_handle, 0, nullptr, nullptr);
    ++m_progress.m_step.done;
}

} // namespace db
