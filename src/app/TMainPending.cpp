// Commands whose behaviour comes with the subsystems that serve them.
#include "app/TMain.h"

#include "db/DBGrid.h"
#include "db/Query.h"
#include "db/QueryOps.h"

void TMain::LoadLayout()
{
    OpenQuery(QStringLiteral("select * from zvonisty order by jmeno"), ADOQuery1);
}
void TMain::SaveLayout() {}
void TMain::MarkSortTitles() {}
void TMain::NajdiClick() {}
void TMain::Timer1Timer() {}
void TMain::autoSearchClick() {}
void TMain::hledat_dleClick() {}
void TMain::VyberSkupinuChange() {}
void TMain::DBGrid1TitleClick(const QString&) {}
void TMain::Natitelseznamzesouboru2Click() {}
void TMain::Zobrazstrukturunatanchdat2Click() {}
void TMain::PidatzznamyzjinDBjennovsla1Click() {}
void TMain::Vytvoitvizitku1Click() {}
void TMain::Nastvizitku1Click() {}
void TMain::Uloitnastaven1Click() {}
void TMain::Npovda2Click() {}
void TMain::Zmnyprogramu1Click() {}
void TMain::Zjistitnovaktualizace1Click() {}
void TMain::About1Click() {}
