// Whole-list exchange: the text import, the export and the merge from another directory file.
#include "app/TMain.h"

#include "app/AppContext.h"
#include "db/Failure.h"
#include "exchange/ListExport.h"
#include "exchange/Merge.h"
#include "exchange/TextImport.h"
#include "ui/Guard.h"
#include "ui/MessageDialog.h"
#include "ui/ProgressDisplay.h"

ProgressDisplay* TMain::progress()
{
    if (!m_progress)
        m_progress = new ProgressPanel(Panel1, ProgressBar1);
    return m_progress;
}

void TMain::Natitelseznamzesouboru2Click()
{
    Guarded([this] { exchange::ImportTextFile(this); });
}

void TMain::Ulozitseznamdosouboru1Click()
{
    Guarded([this] { exchange::ExportGridList(this); });
}

void TMain::PidatzznamyzjinDBjennovsla1Click()
{
    Guarded([this] { exchange::MergeOtherDirectory(this, app::ExecutableDir()); });
}
