// Commands whose behaviour comes with the subsystems that serve them.
#include "app/TMain.h"


void TMain::Natitelseznamzesouboru2Click() {}
void TMain::PidatzznamyzjinDBjennovsla1Click() {}
void TMain::Vytvoitvizitku1Click() {}
void TMain::Nastvizitku1Click() {}
