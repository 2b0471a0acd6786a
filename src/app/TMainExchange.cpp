// Whole-list exchange: the text import, the export and the merge from another directory file.
#include "app/TMain.h"

#include "sync/SyncCommands.h"
#include "sync/SyncSettings.h"

#include "app/AppContext.h"
#include "db/engine/Failure.h"
#include "exchange/CsvCommands.h"
#include "exchange/ListExport.h"
#include "exchange/Merge.h"
#include "exchange/TextImport.h"
#include "print/PrintCommands.h"
#include "ui/Guard.h"

#include "ui/MessageDialog.h"
#include "ui/ProgressDisplay.h"
#include <QTimer>

void TMain::Natitelseznamzesouboru2Click()
{
    Guarded([this] { exchange::ImportTextFile(services()); });
}

void TMain::Ulozitseznamdosouboru1Click()
{
    Guarded([this] { exchange::ExportGridList(services()); });
}

void TMain::ImportovatzCSV1Click()
{
    Guarded([this] { exchange::ImportCsvFile(services()); });
}

void TMain::ExportovatdoCSV1Click()
{
    Guarded([this] { exchange::ExportCsvFile(services()); });
}

void TMain::Tisk1Click()
{
    Guarded([this] { print::PrintGrid(services()); });
}

void TMain::NahledTisku1Click()
{
    Guarded([this] { print::PreviewGrid(services()); });
}

void TMain::UlozitPdf1Click()
{
    Guarded([this] { print::SaveGridPdf(services()); });
}

void TMain::Synchronizace1Click()
{
    Guarded([this] { synchro::ShowSyncSettings(services()); });
    armSyncTimer();
}

void TMain::Synchronizovat1Click()
{
    Guarded([this] { synchro::SynchronizeNow(services()); });
}

void TMain::SyncTimerTimer()
{
    // Not while another command runs its own long operation.
    if (Synchronizovat1->isEnabled())
        Guarded([this] { synchro::SynchronizeNow(services(), true); });
}

void TMain::armSyncTimer()
{
    const synchro::SyncSettings s = synchro::ReadSyncSettings(m_context->settings);
    if (s.automatic && !s.address.isEmpty())
        SyncTimer->start(s.minutes * 60 * 1000);
    else
        SyncTimer->stop();
}

void TMain::PidatzznamyzjinDBjennovsla1Click()
{
    Guarded([this] { exchange::MergeOtherDirectory(services(), app::ExecutableDir()); });
}
