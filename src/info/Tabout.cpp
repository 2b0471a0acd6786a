#include "info/Tabout.h"

#include "ui/OpenUrl.h"

#include "Version.h"

#include <QEvent>
#include <QEventLoop>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

namespace {

int g_fadeStepMs = 10;

QLabel* AddLabel(QWidget* parent, const char* name, const QString& text, const QPoint& at, int pointSize,
                 bool bold, const QColor& colour)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setFont(info::DialogFont(pointSize, bold));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    label->adjustSize();
    label->move(at);
    return label;
}

void SetColour(QLabel* label, const QColor& colour)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

} // namespace

void Tabout::setFadeStepMs(int ms)
{
    g_fadeStepMs = ms;
}

Tabout::Tabout(QWidget* owner, const QString& site)
    : InfoWindow(owner, QStringLiteral("O aplikaci..."), 233, 207), m_site(site)
{
    setObjectName(QStringLiteral("about"));
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(8, 8, 217, 154);
    Image1->setPixmap(AboutPicture());

    // Shadows first, so the yellow texts lie over them.
    const QString years = QStringLiteral("2005 - 2009");
    rozmeziFCEstin = AddLabel(this, "rozmeziFCEstin", years, {0, 0}, 10, true, Qt::black);
    rozmeziFCE = AddLabel(this, "rozmeziFCE", years, {0, 16}, 10, true, Qt::yellow);
    rozmeziFCE->move(Image1->geometry().right() - rozmeziFCE->width() - 6, 16);
    rozmeziFCEstin->move(rozmeziFCE->pos() + QPoint(2, 2));
    const QString name = QStringLiteral("Zvonistní seznam...");
    Label3 = AddLabel(this, "Label3", name, {0, 0}, 12, true, Qt::black);
    Label4 = AddLabel(this, "Label4", name, {0, 0}, 12, true, Qt::yellow);
    Label4->move((width() - Label4->width()) / 2, 36);
    Label3->move(Label4->x() - 3, Label4->y() - 3);

    LabelWWW = AddLabel(this, "LabelWWW", site, {14, 142}, 8, false, Qt::yellow);
    QFont underlined = LabelWWW->font();
    underlined.setUnderline(true);
    LabelWWW->setFont(underlined);
    LabelWWW->adjustSize();
    LabelWWW->setCursor(Qt::PointingHandCursor);
    LabelWWW->installEventFilter(this);

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(8, 166, 217, 2);

    Label2 =
        AddLabel(this, "Label2", QStringLiteral("Verze:"), {8, 180}, 8, true, palette().windowText().color());
    verzion = AddLabel(this, "verzion", QStringLiteral(ZV_FILE_VERSION),
                       {Label2->x() + Label2->width() + 4, 180}, 8, false, palette().windowText().color());
    OK = addOkButton("OK", QRect(150, 174, 75, 25));

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(20);
    connect(Timer1, &QTimer::timeout, this, &Tabout::Timer1Timer);
    setWindowOpacity(0.0);
}

void Tabout::showEvent(QShowEvent* event)
{
    InfoWindow::showEvent(event);
    Timer1->start();
}

void Tabout::fadeTo(int from, int to, int step)
{
    // The window keeps painting between the steps; the user's input waits.
    for (int alpha = from; step > 0 ? alpha <= to : alpha >= to; alpha += step) {
        if (step > 0 && m_closing)
            return; // closed while fading in: the fade-out has the last word
        setWindowOpacity(alpha / 255.0);
        QEventLoop pause;
        QTimer::singleShot(g_fadeStepMs, &pause, &QEventLoop::quit);
        pause.exec(QEventLoop::ExcludeUserInputEvents);
    }
}

void Tabout::Timer1Timer()
{
    Timer1->stop();
    fadeTo(4, 252, 4);
    if (!m_closing)
        setWindowOpacity(1.0);
}

void Tabout::done(int result)
{
    if (m_closing)
        return;
    m_closing = true;
    Timer1->stop();
    fadeTo(252, 4, -4);
    setWindowOpacity(0.0);
    InfoWindow::done(result);
}

void Tabout::LabelWWWMouseEnter()
{
    SetColour(LabelWWW, Qt::red);
}

void Tabout::LabelWWWMouseLeave()
{
    SetColour(LabelWWW, Qt::yellow);
}

void Tabout::LabelWWWClick()
{
    OpenUrl(QUrl(m_site));
}

bool Tabout::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == LabelWWW) {
        switch (event->type()) {
        case QEvent::Enter:
            LabelWWWMouseEnter();
            break;
        case QEvent::Leave:
            LabelWWWMouseLeave();
            break;
        case QEvent::MouseButtonRelease:
            LabelWWWClick();
            return true;
        default:
            break;
        }
    }
    return InfoWindow::eventFilter(watched, event);
}
