#pragma once

#include <QString>

#include <functional>

struct sqlite3;

// What the opening of a directory file tells while it does something slow: building missing
// indexes, rebuilding indexes for a changed comparison, checking the file, converting tables.
// The database layer knows no windows: the application installs a reporter that shows it.
// A quick opening reports nothing at all.
namespace db {

struct OpeningStep
{
    QString text;         // what the opening is doing, a short Czech text
    int done = 0;         // slow steps finished
    int total = 0;        // slow steps this opening runs
    bool working = false; // a beat while the step's statement runs, nothing new to tell
};

using OpeningProgressReporter = std::function<void(const OpeningStep& step)>;

// The engine's instructions between two beats of a long statement.
inline constexpr int kOpeningBeatInstructions = 20000;

// Installs the reporter for the openings that follow (an empty one removes it). It is called
// on the opening's thread, from within the engine during a statement: it must not touch the
// connection being opened, and what it throws is dropped.
void SetOpeningProgress(OpeningProgressReporter reporter, int beatInstructions = kOpeningBeatInstructions);
// Tells the installed reporter of a slow step that runs outside the engine (nothing without one).
void ReportOpeningStep(const OpeningStep& step) noexcept;

// One opening's reporting, used by the connection. Without an installed reporter it does
// nothing, so a normal opening pays nothing for it.
class OpeningProgress
{
public:
    explicit OpeningProgress(sqlite3* handle);
    ~OpeningProgress();
    OpeningProgress(const OpeningProgress&) = delete;
    OpeningProgress& operator=(const OpeningProgress&) = delete;

    bool reporting() const { return bool(m_reporter); }
    // Slow steps that will run; the total may grow when a step brings new ones about.
    void plan(int steps) { m_total += steps; }

    // One slow step: told when it starts, with beats during its statements until it ends.
    class Step
    {
    public:
        Step(OpeningProgress& progress, const QString& text);
        ~Step();
        Step(const Step&) = delete;
        Step& operator=(const Step&) = delete;

    private:
        OpeningProgress& m_progress;
    };

private:
    static int Beat(void* self) noexcept;
    void report(bool working) noexcept;

    sqlite3* m_handle;
    OpeningProgressReporter m_reporter;
    int m_beatInstructions = kOpeningBeatInstructions;
    OpeningStep m_step;
    int m_total = 0;
};

} // namespace db
