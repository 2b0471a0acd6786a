// Commands whose behaviour comes with the subsystems that serve them.
#include "app/TMain.h"


void TMain::Zobrazstrukturunatanchdat2Click() {}
void TMain::Vytvoitvizitku1Click() {}
void TMain::Nastvizitku1Click() {}
void TMain::Npovda2Click() {}
void TMain::Zmnyprogramu1Click() {}
void TMain::Zjistitnovaktualizace1Click() {}
void TMain::About1Click() {}
