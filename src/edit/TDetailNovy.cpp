#include "edit/TDetailNovy.h"

#include "db/contacts/Directory.h"
#include "db/contacts/Query.h"
#include "db/engine/Columns.h"
#include "db/engine/PhoneText.h"
#include "edit/ReadOnlyRefusal.h"
#include "ui/DBGrid.h"
#include "ui/Guard.h"
#include "ui/MainWindowPort.h"
#include "ui/MessageDialog.h"
#include "ui/Services.h"
#include "ui/TextLimit.h"

#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

QLabel* Caption(const QString& text, QWidget* parent, int left, int top, bool strong)
{
    auto* label = new QLabel(text, parent);
    if (strong) {
        QFont f = label->font();
        f.setBold(true);
        label->setFont(f);
        label->setStyleSheet(QStringLiteral("color: navy"));
    }
    label->move(left, top);
    return label;
}

// A NUL, which another tool may have stored, would cut the saving statement and hide the rest
// of the value: it is shown, and saved, as the replacement character.
QString Shown(QString stored)
{
    return stored.replace(QChar(0), QChar::ReplacementCharacter);
}

QString MemoText(const QString& stored)
{
    QString text = stored;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

} // namespace

TDetailNovy::TDetailNovy(const Services& app, Mode mode)
    : QDialog(app.window.window()), m_app(app), m_mode(mode)
{
    setObjectName(QStringLiteral("TDetailNovy"));
    buildControls();
    FormCreate();
    const bool edit = mode == Mode::Edit;
    setWindowTitle(edit ? QStringLiteral("Detail karty") : QStringLiteral("Rozšířené vkládání"));
    Uloz->setText(edit ? QStringLiteral("Ulož změny") : QStringLiteral("Ulož"));
    Uloz->setToolTip(edit ? QStringLiteral("Ulož změny") : QStringLiteral("Ulož záznamy na kartě"));
    Zavrit->setToolTip(edit ? QStringLiteral("Konec") : QStringLiteral("Přerušit ukládání"));
    if (app.window.readOnly()) {
        // Shown for reading only: nothing typed here could be stored.
        for (QLineEdit* edit : {Telefon, Jmeno, Organizace, Email, Poznamka, ICQ, Skype})
            edit->setReadOnly(true);
        Skupina->lineEdit()->setReadOnly(true);
    }
    // Centred on the main window.
    const QRect over = app.window.window()->frameGeometry();
    move(over.x() + (over.width() - width()) / 2, over.y() + (over.height() - height()) / 2);
}

TDetailNovy::~TDetailNovy()
{
    // The controls outlive this part of the dialog while they are destroyed.
    for (QWidget* w : findChildren<QWidget*>())
        w->removeEventFilter(this);
}

void TDetailNovy::buildControls()
{
    setFixedSize(409, 376);
    struct Field
    {
        QLineEdit** edit;
        const char* name;
        QString ContactValues::*value;
        bool strong;
    };
    const Field fields[] = {
        {&Telefon, "Telefon", &ContactValues::telefon, true},
        {&Jmeno, "Jmeno", &ContactValues::jmeno, true},
        {&Organizace, "Organizace", &ContactValues::organizace, false},
        {&Email, "Email", &ContactValues::email, false},
        {&Poznamka, "Poznamka", &ContactValues::poznamka, false},
        {&ICQ, "ICQ", &ContactValues::icq, false},
        {&Skype, "Skype", &ContactValues::skype, false},
    };
    int top = 25;
    for (const Field& f : fields) {
        // Captions and limits are those by which the width check names the fields.
        const db::ContactColumn& known = db::ColumnOf(f.value);
        Caption(db::ColumnTitle(known), this, 6, top - 15, f.strong);
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QString::fromLatin1(f.name));
        edit->setGeometry(6, top, 166, 21);
        LimitCodePoints(edit, known.width);
        *f.edit = edit;
        top += 40;
    }
    Caption(QStringLiteral("Skupina"), this, 6, 291, true)->setObjectName(QStringLiteral("Label2"));
    Skupina = new QComboBox(this);
    Skupina->setObjectName(QStringLiteral("Skupina"));
    Skupina->setEditable(true);
    Skupina->setInsertPolicy(QComboBox::NoInsert);
    LimitCodePoints(Skupina->lineEdit(), db::ColumnOf(&ContactValues::skupina).width);
    // A group is stored as typed: no completion turning "rodina" into a listed "Rodina".
    Skupina->setCompleter(nullptr);
    Skupina->setGeometry(6, 305, 166, 21);

    Uloz = new QPushButton(this);
    Uloz->setObjectName(QStringLiteral("Uloz"));
    Uloz->setGeometry(326, 338, 75, 25);
    Uloz->setDefault(true);
    Zavrit = new QPushButton(QStringLiteral("Zavřít"), this);
    Zavrit->setObjectName(QStringLiteral("Zavrit"));
    Zavrit->setGeometry(247, 338, 75, 25);
    Zavrit->setAutoDefault(false);

    Caption(QStringLiteral("Přídavná poznámka"), this, 185, 8, false)
        ->setStyleSheet(QStringLiteral("font-weight: bold"));
    DBGrid1 = new db::DBGrid(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setGeometry(185, 24, 135, 135);
    DBGrid1->setColumns({{QStringLiteral("dat"), QStringLiteral("Datum vložení")}});
    DBGrid1->horizontalHeader()->resizeSection(0, 95);
    DBGrid1->horizontalHeader()->setSectionsMovable(false);
    id = new QLineEdit(QStringLiteral("id"), this);
    id->setObjectName(QStringLiteral("id"));
    id->hide();
    Caption(QStringLiteral("Detail rozšířené poznámky"), this, 185, 169, false)
        ->setStyleSheet(QStringLiteral("font-weight: bold"));
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(185, 185, 216, 141);
    Memo1->setReadOnly(true);
    Memo1->setBackgroundRole(QPalette::Button);
    Memo1->viewport()->setBackgroundRole(QPalette::Button);
    Odstranit = new QPushButton(QStringLiteral("Odstranit"), this);
    Odstranit->setObjectName(QStringLiteral("Odstranit"));
    Odstranit->setGeometry(326, 23, 75, 25);
    Odstranit->setAutoDefault(false);
    Odstranit->setToolTip(QStringLiteral("Odstranit rozšířenou \"přídavnou\" poznámku"));

    auto* vertical = new QFrame(this);
    vertical->setFrameShape(QFrame::VLine);
    vertical->setGeometry(177, 25, 2, 305);
    auto* horizontal = new QFrame(this);
    horizontal->setFrameShape(QFrame::HLine);
    horizontal->setGeometry(2, 330, 399, 2);

    setTabOrder(Telefon, Jmeno);
    setTabOrder(Jmeno, Organizace);
    setTabOrder(Organizace, Email);
    setTabOrder(Email, Poznamka);
    setTabOrder(Poznamka, ICQ);
    setTabOrder(ICQ, Skype);
    setTabOrder(Skype, Skupina);
    setTabOrder(Skupina, Uloz);
    setTabOrder(Uloz, Zavrit);
    setTabOrder(Zavrit, DBGrid1);
    setTabOrder(DBGrid1, Memo1);
    setTabOrder(Memo1, Odstranit);

    ADOQuery1 = m_app.window.directory().newQuery(this);
    DBGrid1->setDataSource(ADOQuery1);

    connect(Uloz, &QPushButton::clicked, this, &TDetailNovy::UlozClick);
    connect(Zavrit, &QPushButton::clicked, this, &TDetailNovy::ZavritClick);
    connect(Odstranit, &QPushButton::clicked, this, &TDetailNovy::OdstranitClick);
    connect(ADOQuery1, &db::Query::afterOpen, this, &TDetailNovy::ADOQuery1AfterOpen);
    connect(ADOQuery1, &db::Query::afterScroll, this, &TDetailNovy::ADOQuery1AfterScroll);

    // The dialog sees every key before its controls: Enter anywhere saves.
    for (QWidget* w : findChildren<QWidget*>())
        w->installEventFilter(this);
}

void TDetailNovy::FormCreate()
{
    // The known groups, without the "Vše" entry of the group filter.
    Skupina->addItems(m_app.window.groups());
    Skupina->setCurrentIndex(-1);
    Skupina->setEditText(QString());
}

void TDetailNovy::fillFrom(const ContactValues& stored, bool withNumber)
{
    if (withNumber)
        Telefon->setText(Shown(stored.telefon));
    Jmeno->setText(Shown(stored.jmeno));
    Email->setText(Shown(stored.email));
    Poznamka->setText(Shown(stored.poznamka));
    Organizace->setText(Shown(stored.organizace));
    ICQ->setText(Shown(stored.icq));
    Skype->setText(Shown(stored.skype));
    selectGroup(Shown(stored.skupina));
}

void TDetailNovy::selectGroup(const QString& stored)
{
    for (int i = 0; i < Skupina->count(); ++i) {
        if (Skupina->itemText(i).compare(stored, Qt::CaseInsensitive) == 0) {
            Skupina->setCurrentIndex(i);
            return;
        }
    }
    // A group that came in after start-up keeps its stored text, so a save does not empty it.
    Skupina->setCurrentIndex(-1);
    Skupina->setEditText(stored);
}

void TDetailNovy::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    Guarded([this] { FormShow(); });
    Telefon->setFocus();
}

void TDetailNovy::FormShow()
{
    id->setText(m_app.selection.commandId());
    if (m_mode == Mode::Insert) {
        DBGrid1->setEnabled(false);
        return;
    }
    m_app.window.directory().openNotes(id->text(), ADOQuery1);
}

void TDetailNovy::done(int result)
{
    m_closing = true;
    QDialog::done(result);
}

bool TDetailNovy::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && watched != Uloz) {
            UlozClick();
            return true;
        }
    } else if (event->type() == QEvent::FocusOut && watched == Telefon) {
        // Leaving the field for another control of this dialog, not the window losing focus.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && !m_closing)
            TelefonExit();
    }
    return QDialog::eventFilter(watched, event);
}

void TDetailNovy::TelefonExit()
{
    Guarded([this] { checkNumberOnExit(); });
}

void TDetailNovy::checkNumberOnExit()
{
    if (m_mode != Mode::Insert || m_app.window.readOnly())
        return;
    Telefon->setText(FormatPhone(Telefon->text()));
    const QString number = Telefon->text();
    if (m_app.window.directory().numberTaken(number).value_or(false)) {
        m_app.window.showNumberHolders(number);
        ShowMessageDialogOver(
            this, QStringLiteral("Telefon ") + number + QStringLiteral(" již je v databázi."), 0, 0);
    }
}

bool TDetailNovy::numberIsTaken(const QString& number, const QString& message)
{
    if (!m_app.window.directory().numberTaken(number).value_or(false))
        return false;
    m_app.window.showNumberHolders(number);
    QApplication::processEvents();
    ShowMessageDialogOver(this, message, 0, 0);
    return true;
}

void TDetailNovy::UlozClick()
{
    Guarded([this] { save(); });
}

void TDetailNovy::save()
{
    if (m_closing || records::RefusedAsReadOnly(m_app, this))
        return;
    if (Telefon->text().isEmpty() || Jmeno->text().isEmpty()) {
        ShowMessageDialogOver(this, QStringLiteral("Nejsou vyplňeny povinné položky!"), 0, 0);
        return;
    }
    ContactValues typed;
    typed.telefon = FormatPhone(Telefon->text());
    typed.jmeno = Jmeno->text();
    typed.email = Email->text();
    typed.poznamka = Poznamka->text();
    typed.organizace = Organizace->text();
    typed.skupina = Skupina->currentText();
    typed.icq = ICQ->text();
    typed.skype = Skype->text();
    // A stored value may be longer than its field: told by the field's name, not by the engine.
    if (const FieldFault fault = CheckFields(typed)) {
        ShowMessageDialogOver(this, fault.text() + QStringLiteral(" Zkraťte prosím hodnotu."), 0, 0);
        return;
    }
    if (m_mode == Mode::Insert)
        saveInsert();
    else
        saveEdit();
}

void TDetailNovy::saveInsert()
{
    Telefon->setText(FormatPhone(Telefon->text()));
    const QString number = Telefon->text();
    if (numberIsTaken(number, QStringLiteral("Telefonní číslo ") + number + QStringLiteral(" již je v DB.")))
        return;
    const QString date = DateText(QDate::currentDate());
    if (Skupina->currentText().isEmpty())
        Skupina->setEditText(QStringLiteral("new"));
    // A refused statement leaves the dialog open with everything typed.
    if (!m_app.window.directory().insert(typedValues({}, number, date)))
        return;
    m_app.window.addGroup(Skupina->currentText());
    m_app.window.refreshGrid();
    m_app.window.focusSearch();
    accept();
}

ContactValues TDetailNovy::typedValues(ContactValues values, const QString& number, const QString& date) const
{
    values.telefon = number;
    values.jmeno = Jmeno->text();
    values.email = Email->text();
    values.poznamka = Poznamka->text();
    values.datum = date;
    values.organizace = Organizace->text();
    values.skupina = Skupina->currentText();
    values.icq = ICQ->text();
    values.skype = Skype->text();
    return values;
}

void TDetailNovy::saveEdit()
{
    const QString date = DateText(QDate::currentDate());
    Telefon->setText(FormatPhone(Telefon->text()));
    const QString number = Telefon->text();
    const std::optional<ContactValues> stored = m_app.window.directory().contact(m_app.selection.commandId());
    const bool unchanged = stored && stored->telefon == number;
    if (!unchanged &&
        numberIsTaken(number, QStringLiteral("Telefonní číslo ") + number + QStringLiteral(" již je v DB.")))
        return;
    // A column the dialog does not show keeps what the contact holds.
    if (!m_app.window.directory().save(m_app.selection.commandId(),
                                       typedValues(stored.value_or(ContactValues{}), number, date)))
        return;
    m_app.window.addGroup(Skupina->currentText());
    m_app.window.refreshGrid();
    accept();
}

void TDetailNovy::ZavritClick()
{
    reject();
}

void TDetailNovy::ADOQuery1AfterOpen()
{
    DBGrid1->horizontalHeader()->resizeSection(0, 100);
}

void TDetailNovy::ADOQuery1AfterScroll()
{
    Guarded([this] {
        if (ADOQuery1->isOpen() && ADOQuery1->recordCount() > 0)
            Memo1->setPlainText(MemoText(ADOQuery1->fieldText(u"pozn")));
    });
}

void TDetailNovy::OdstranitClick()
{
    Guarded([this] { deleteNote(); });
}

void TDetailNovy::deleteNote()
{
    if (!ADOQuery1->isOpen() || ADOQuery1->recordCount() == 0 || records::RefusedAsReadOnly(m_app, this))
        return;
    const QString shown = ADOQuery1->fieldText(u"dat");
    if (ShowMessageDialogOver(
            this, QStringLiteral("Opravdu odstranit poznámku z data \"") + shown + QStringLiteral("\" ?"), 1,
            1) != 0)
        return;
    if (!m_app.window.directory().deleteNote(id->text(), shown))
        return;
    RefreshGrid(DBGrid1);
    // With the last note gone nothing else would clear the deleted note's text.
    if (!ADOQuery1->isOpen() || ADOQuery1->recordCount() == 0)
        Memo1->clear();
}
