#include "edit/TpoznamkaM.h"

#include "db/contacts/Directory.h"
#include "ui/Guard.h"
#include "ui/MainWindowPort.h"
#include "ui/Services.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>

TpoznamkaM::TpoznamkaM(const Services& app) : QDialog(app.window.window()), m_app(app)
{
    setObjectName(QStringLiteral("TpoznamkaM"));
    setWindowTitle(QStringLiteral("Poznámka"));
    setFixedSize(283, 191);
    Konec = new QPushButton(QStringLiteral("Konec"), this);
    Konec->setObjectName(QStringLiteral("Konec"));
    Konec->setGeometry(124, 158, 75, 25);
    Ulozit = new QPushButton(QStringLiteral("Uložit"), this);
    Ulozit->setObjectName(QStringLiteral("Ulozit"));
    Ulozit->setGeometry(203, 158, 75, 25);
    Ulozit->setAutoDefault(false);
    Konec->setAutoDefault(false);
    id = new QLineEdit(this);
    id->setObjectName(QStringLiteral("id"));
    id->hide();
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(5, 7, 273, 137);
    Memo1->setTabChangesFocus(true);
    Memo1->installEventFilter(this);
    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setGeometry(5, 150, 273, 2);
    setTabOrder(Konec, Ulozit);
    setTabOrder(Ulozit, Memo1);
    connect(Konec, &QPushButton::clicked, this, &TpoznamkaM::KonecClick);
    connect(Ulozit, &QPushButton::clicked, this, &TpoznamkaM::UlozitClick);
    const QRect over = app.window.window()->frameGeometry();
    move(over.x() + (over.width() - width()) / 2, over.y() + (over.height() - height()) / 2);
}

TpoznamkaM::~TpoznamkaM()
{
    Memo1->removeEventFilter(this);
}

void TpoznamkaM::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    Konec->setFocus();
}

bool TpoznamkaM::eventFilter(QObject* watched, QEvent* event)
{
    // Memo1KeyDown: Esc in the memo closes without saving.
    if (watched == Memo1 && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        KonecClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TpoznamkaM::UlozitClick()
{
    Guarded([this] { save(); });
}

void TpoznamkaM::save()
{
    // The memo's lines joined by CR LF, as the notes are stored.
    // The raw text: the plain one would turn non-breaking spaces into blanks.
    QString text = Memo1->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'))
        .replace(QChar::LineSeparator, QLatin1Char('\n'));
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    // A refused note keeps the window open with its text.
    if (m_app.window.directory().addNote(id->text(), text))
        accept();
}

void TpoznamkaM::KonecClick()
{
    reject();
}
