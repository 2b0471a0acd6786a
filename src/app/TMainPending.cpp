// Commands whose behaviour comes with the subsystems that serve them.
#include "app/TMain.h"


void TMain::Natitelseznamzesouboru2Click() {}
void TMain::PidatzznamyzjinDBjennovsla1Click() {}
