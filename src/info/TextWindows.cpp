#include "info/TextWindows.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QTextLayout>

#include <cmath>

namespace {

void SetBase(QPlainTextEdit* text, const QColor& colour)
{
    QPalette palette = text->palette();
    palette.setColor(QPalette::Base, colour);
    text->setPalette(palette);
}

} // namespace

QStringList TNapoveda::HelpLines()
{
    return {
        QStringLiteral("* Pro vložení kompletních údajů stiskni Insert"),
        QStringLiteral("* Kompletní úprava položky tlačítkem daného názvu nebo "),
        QStringLiteral("  doubleclick na danou položku"),
        QStringLiteral("* přes nabídku Nástroje\\Přídavná poznámka lze označené kartě "),
        QStringLiteral("  přidat rozšiřující poznámku, tato poznámka je viditelná z detailu "),
        QStringLiteral("  karty, spouští se doubleclickem na datum jejího vytvoření"),
    };
}

TNapoveda::TNapoveda(QWidget* owner) : InfoWindow(owner, QStringLiteral("Nápověda"), 0, 0)
{
    setObjectName(QStringLiteral("Napoveda"));
    const QStringList lines = HelpLines();
    Memo1 = addReadOnlyText("Memo1", QRect(), lines);
    // The colour of inactive window borders.
    SetBase(Memo1, QColor(0xd4, 0xd0, 0xc8));
    constexpr int textMargin = 2;
    Memo1->document()->setDocumentMargin(textMargin);

    // The lines were broken by hand: the box takes the widest of them on one row and all of them
    // without scrolling, laid out as the text box lays them out, at whatever font is found here.
    qreal widest = 0;
    qreal tall = 0;
    for (const QString& line : lines) {
        QTextLayout layout(line, Memo1->font());
        layout.beginLayout();
        QTextLine row = layout.createLine();
        row.setLeadingIncluded(true);
        layout.endLayout();
        // With its trailing blanks: they count when the line is broken.
        widest = qMax(widest, row.horizontalAdvance());
        tall += row.height();
    }
    // The box's frame and the text's margin on both sides, and two pixels for rounding.
    const int edge = 2 * (Memo1->frameWidth() + textMargin) + 2;
    const QSize text(int(std::ceil(widest)) + edge, int(std::ceil(tall)) + edge);
    constexpr int margin = 6;
    constexpr QSize button(75, 25);
    // A scroll bar, once shown while the box was still small, would narrow the text and wrap it.
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setGeometry(QRect(QPoint(margin, margin), text));
    const int width = text.width() + 2 * margin;
    Zavrit = addOkButton("Zavrit",
                         QRect(QPoint((width - button.width()) / 2, Memo1->geometry().bottom() + 5), button));
    setFixedSize(width, Zavrit->geometry().bottom() + 5);
    pressOnEscape(Memo1, Zavrit);
}

QStringList TZmenyProgramu::ChangeLogLines()
{
    struct Entry
    {
        const char* version;
        QStringList changes;
    };
    const QList<Entry> entries = {
        {"1.1.1.101",
         {QStringLiteral("* šířka sloupců se pamatuje, je-li zapnuta volba \"Pamatovat si šířku sloupců "
                         "hlavního seznamu\""),
          QStringLiteral("* poloha a velikost okna se pamatují pro každé rozlišení obrazovky zvlášť"),
          QStringLiteral("* soubor nastavení se nyní jmenuje \"Zvonisty.ini\"")}},
        {"1.1.1.99",
         {QStringLiteral("* kontrola aktualizací správně zobrazí zveřejněnou verzi a datum"),
          QStringLiteral("* text přídavné poznámky se zobrazí v detailu záznamu a lze jej tam"),
          QStringLiteral("  i smazat")}},
        {"1.1.1.95",
         {QStringLiteral("* sloupce lze přesouvat tažením za jejich nadpis"),
          QStringLiteral("* pořadí sloupců a řazení se uloží při zavření a obnoví při spuštění"),
          QStringLiteral("* odstraněno menu ve vzhledu XP (vzhled se řídí systémem, soubor"),
          QStringLiteral("  \"Zvonisty.exe.manifest\" již není potřeba)")}},
        {"1.1.1.89",
         {QStringLiteral("* ICQ a Skype ve vizitkách"),
          QStringLiteral("* odkaz na webové stránky v okně O aplikaci"),
          QStringLiteral("* přidávání z jiné DB kontroluje její verzi a je-li to možné, převezme"),
          QStringLiteral("  i ICQ a Skype")}},
        {"1.1.1.86",
         {QStringLiteral("* všechny zprávy ve standardních dialozích"),
          QStringLiteral("* ICQ a Skype v detailu záznamu"),
          QStringLiteral("* soubor pro načtení rozšířen na 7 sloupců"),
          QStringLiteral("  (jméno;telefon;email;poznámka;organizace;icq;skype)"),
          QStringLiteral("* do nabídky Nápověda přidáno zjištění nových aktualizací")}},
        {"1.1.1.75", {QStringLiteral("* seznam lze posouvat kolečkem myši")}},
        {"1.1.1.74", {QStringLiteral("* hlavní okno se při spuštění zobrazí uprostřed obrazovky")}},
        {"1.1.1.73", {QStringLiteral("* ošetřeno zadávání apostrofů")}},
        {"1.1.1.72", {QStringLiteral("* uložení a načtení jednotlivých čísel pomocí vizitky")}},
        {"1.1.1.69", {QStringLiteral("* nové okno O aplikaci")}},
        {"1.1.1.68", {QStringLiteral("* opraveno obnovení seznamu po úpravě a přidání záznamu")}},
        {"1.1.1.67",
         {QStringLiteral("* do nabídky Záznam přidáno \"Otevřít vybraný záznam pro přidání nového čísla\""),
          QStringLiteral("* místní nabídka na seznamu"),
          QStringLiteral("* značky směru řazení « a » v nadpisech sloupců")}},
        {"1.1.1.62", {QStringLiteral("* opraveno přenesení okna do popředí z ikony v oznamovací oblasti")}},
        {"1.1.1.60", {QStringLiteral("* opravy ikony v oznamovací oblasti")}},
        {"1.1.1.51", {QStringLiteral("* opraveno řazení vybraných záznamů kliknutím na nadpis sloupce")}},
        {"1.1.1.50", {QStringLiteral("* přidávání nových čísel z jiné databáze")}},
        {"1.1.1.49", {QStringLiteral("* vzhled XP")}},
        {"1.1.1.48", {QStringLiteral("* nápovědy ve stavovém řádku")}},
        {"1.1.1.47",
         {QStringLiteral("* Alt+F4 může aplikaci místo zavření minimalizovat"),
          QStringLiteral("* Esc v poli hledání zobrazí celou vybranou skupinu")}},
        {"1.1.1.41",
         {QStringLiteral("* program se zobrazuje na hlavním panelu"),
          QStringLiteral("* z hlavního panelu jej lze skrýt")}},
        {"1.1.1.39",
         {QStringLiteral("* hledání rozšířeno o Email a \"Vše\""),
          QStringLiteral("* sloupec hledání se ukládá s nastavením")}},
    };

    const QString stars = QString(107, QLatin1Char('*'));
    QStringList lines = {
        stars, QString(45, QLatin1Char('*')) + QStringLiteral(" ZVONISTY ") + QString(46, QLatin1Char('*')),
        stars, QString()};
    for (const Entry& entry : entries) {
        lines << QStringLiteral("Verze ") + QLatin1String(entry.version) << QString(25, QLatin1Char('-'));
        lines << entry.changes << QString();
    }
    lines.removeLast();
    return lines;
}

TZmenyProgramu::TZmenyProgramu(QWidget* owner) : InfoWindow(owner, QStringLiteral("Změny programu"), 468, 258)
{
    setObjectName(QStringLiteral("ZmenyProgramu"));
    Memo1 = addReadOnlyText("Memo1", QRect(8, 8, 452, 210), ChangeLogLines());
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    SetBase(Memo1, QColor(0xc0, 0xc0, 0xc0));
    OK = addOkButton("OK", QRect(196, 226, 75, 25));
}

void TZmenyProgramu::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        OK->click();
        return;
    }
    InfoWindow::keyPressEvent(event);
}

QStringList TstrukturaDat::StructureLines()
{
    return {
        QStringLiteral("jméno;telefon;email;poznámka;organizace;icq;skype"),
        QStringLiteral("jméno2;telefon2;email2;poznámka2;organizace2;icq2;skype2"),
        QStringLiteral("Jan Novák;777 123 456;jan@novak.cz;kolega;;123-456-789;novak"),
    };
}

TstrukturaDat::TstrukturaDat(QWidget* owner) : InfoWindow(owner, QStringLiteral("Struktura Dat"), 458, 198)
{
    setObjectName(QStringLiteral("strukturaDat"));
    Memo1 = addReadOnlyText("Memo1", QRect(8, 8, 442, 96), StructureLines());
    Memo1->setFont(info::DialogFont(10, true));
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->document()->setDocumentMargin(2);

    Label2 = new QLabel(QStringLiteral("(každý další sloupec je považován za tel.)"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setFont(info::DialogFont(8, true));
    Label2->setGeometry(8, 110, 442, 16);
    Label1 = new QLabel(QStringLiteral("(soubor *.CSV (7 sloupců))"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(info::DialogFont(8, true));
    Label1->setGeometry(8, 128, 442, 16);

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(8, 152, 442, 2);
    OK = addOkButton("OK", QRect(375, 165, 75, 25));
    pressOnEscape(Memo1, OK);
}
