// The record commands of the main window: new, edit, add a number, delete, notes.
#include "app/TMain.h"

void TMain::setupEditCommands() {}
void TMain::Nov1Click() {}
void TMain::Odstranitvybranoupoloku1Click() {}
void TMain::Kompletnpravavybranpoloky1Click() {}
void TMain::P59davn8poy1Click() {}
void TMain::Otevtvybranzznampropidnnovhosla1Click() {}
void TMain::KomplUpravaClick() {}
void TMain::DBGrid1DblClick() {}
