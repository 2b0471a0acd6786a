// Single contacts to and from files: contact cards and vCard.
#include "app/TMain.h"

#include "exchange/CardCommands.h"
#include "exchange/VCardCommands.h"

#include <QAction>

void TMain::Vytvoitvizitku1Click()
{
    cards::WriteSelectedCard(services());
}

void TMain::Nastvizitku1Click()
{
    cards::ReadCardFile(services());
}

void TMain::ExportovatdovCard1Click()
{
    vcard::ExportContacts(services(),
                          ExportovatvCardveverzi401->isChecked() ? vcard::Version::V40 : vcard::Version::V30);
}

void TMain::ImportovatzvCard1Click()
{
    vcard::ImportContacts(services());
}
