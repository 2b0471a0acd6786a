#include "ui/MessageDialog.h"

#include "db/engine/FailureReporter.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QQueue>
#include <QScreen>
#include <QStyle>

#include <algorithm>

namespace {

constexpr int kButtonWidth = 57;
constexpr int kButtonHeight = 25;
constexpr int kIconSize = 38;
constexpr int kIconLeft = 6;
constexpr int kIconTop = 9;
constexpr int kLabelLeft = 51;
constexpr int kLabelTop = 15;
constexpr int kLabelWidth = 435; // the width at which long texts wrap
constexpr int kLabelMinWidth = 80;
constexpr int kTestLabelLeft = 54;
constexpr int kWrapFrom = 495;  // TestLabel1's right edge from which the text is wrapped
constexpr int kWidthExtra = 65; // outer width = text width + this
constexpr int kMaxOuterWidth = 500;
constexpr int kRightMargin = 6; // keeps the text off the right border when the frame eats into it

struct SeamState
{
    bool testMode = false;
    QQueue<int> answers;
    QList<MessageDialogSeam::Record> shown;
};

SeamState& seam()
{
    static SeamState state;
    return state;
}

QPointer<QWidget> g_dialogParent;

// The engine's messages and the update check use a bare CR as line break; so may Windows text.
QString normaliseLineBreaks(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

// Word wrapping cannot break a word wider than the label (a long file path, say), which would
// then be cut off at the window's edge. Zero-width spaces give such words break opportunities.
QString breakOverlongWords(const QString& text, const QFontMetrics& fm, int width)
{
    static const QChar kZeroWidthSpace(0x200B);
    QString out;
    out.reserve(text.size());
    qsizetype start = 0;
    while (start <= text.size()) {
        qsizetype end = start;
        while (end < text.size() && !text.at(end).isSpace())
            ++end;
        const QString word = text.mid(start, end - start);
        if (fm.horizontalAdvance(word) > width) {
            for (qsizetype i = 0; i < word.size(); ++i) {
                out += word.at(i);
                // never split a surrogate pair
                if (i + 1 < word.size() && !word.at(i).isHighSurrogate())
                    out += kZeroWidthSpace;
            }
        } else {
            out += word;
        }
        if (end < text.size())
            out += text.at(end);
        start = end + 1;
    }
    return out;
}

// The asking window's decoration is the best guess for ours before we have been shown.
QSize frameExtra(const QWidget* parent)
{
    if (!parent)
        return QSize(0, 0);
    const QWidget* window = parent->window();
    if (!window->isVisible())
        return QSize(0, 0);
    const QSize extra = window->frameGeometry().size() - window->size();
    return QSize(std::max(0, extra.width()), std::max(0, extra.height()));
}

QStyle::StandardPixmap iconFor(int icon)
{
    switch (icon) {
    case 1:
        return QStyle::SP_MessageBoxQuestion;
    case 2:
        return QStyle::SP_MessageBoxCritical;
    default:
        return QStyle::SP_MessageBoxInformation;
    }
}

quint8 closeDefault(int buttonSet)
{
    return buttonSet == 2 ? 2 : 1;
}

// A widget needs a QApplication; a console-only run (or an early failure) must not crash here.
bool widgetsAvailable()
{
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

void record(const QString& text, int icon, int buttonSet, const QRect& over, bool errorReport)
{
    MessageDialogSeam::Record r;
    r.text = text;
    r.icon = icon;
    r.buttonSet = buttonSet;
    r.over = over;
    r.errorReport = errorReport;
    // Only scripted runs keep a record; the program itself remembers nothing it showed.
    if (seam().testMode)
        seam().shown.append(r);
}

} // namespace

TDialogDotaz::TDialogDotaz(const QString& text, int left, int width, int top, int height, int icon,
                           int buttonSet, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint |
                          Qt::MSWindowsFixedSizeDialogHint)
{
    // Any other value would leave a window with no sensible buttons; show it as a plain message.
    // "Ne" is the default of a question whose "Ano" takes a risk.
    const bool noByDefault = buttonSet == kYesNoDefaultNo;
    if (noByDefault)
        buttonSet = 1;
    if (buttonSet != 1 && buttonSet != 2)
        buttonSet = 0;

    setWindowTitle(QStringLiteral("Dotaz"));
    setWindowModality(Qt::ApplicationModal);
    setSizeGripEnabled(false);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(kIconLeft, kIconTop, kIconSize, kIconSize);
    Image1->setAlignment(Qt::AlignCenter);

    // Plain text: messages carry engine errors and user data, which must not be read as markup.
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setTextFormat(Qt::PlainText);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    TestLabel1 = new QLabel(this);
    TestLabel1->setObjectName(QStringLiteral("TestLabel1"));
    TestLabel1->setTextFormat(Qt::PlainText);
    TestLabel1->setWordWrap(false);
    TestLabel1->hide();

    Ano = new QPushButton(QStringLiteral("Ano"), this);
    Ano->setObjectName(QStringLiteral("Ano"));
    Ne = new QPushButton(QStringLiteral("Ne"), this);
    Ne->setObjectName(QStringLiteral("Ne"));
    Zrusit = new QPushButton(QStringLiteral("Zrušit"), this);
    Zrusit->setObjectName(QStringLiteral("Zrusit"));
    for (QPushButton* b : {Ano, Ne, Zrusit})
        b->resize(kButtonWidth, kButtonHeight);
    setTabOrder(Ano, Ne);
    setTabOrder(Ne, Zrusit);

    connect(Ano, &QPushButton::clicked, this, [this] { finishWith(0); });
    connect(Ne, &QPushButton::clicked, this, [this] { finishWith(1); });
    connect(Zrusit, &QPushButton::clicked, this, [this] { finishWith(2); });

    const int minOuterWidth = buttonSet == 2 ? 220 : 150;
    const QSize frame = frameExtra(parent);

    const QString shownText = normaliseLineBreaks(text);
    TestLabel1->setText(shownText);
    TestLabel1->ensurePolished();
    TestLabel1->adjustSize();
    TestLabel1->move(kTestLabelLeft, kLabelTop);
    const int naturalWidth = TestLabel1->width();

    bool wrap = kTestLabelLeft + naturalWidth >= kWrapFrom;
    const int outerWidth = std::clamp(wrap ? kLabelWidth + kWidthExtra : naturalWidth + kWidthExtra,
                                      minOuterWidth, kMaxOuterWidth);
    const int clientWidth = outerWidth - frame.width();
    const int room = clientWidth - kLabelLeft - kRightMargin;

    int labelWidth = wrap ? std::min(kLabelWidth, room) : std::max(naturalWidth, kLabelMinWidth);
    if (!wrap && labelWidth > room) {
        // only when the frame is wider than the design allowed for: wrap rather than clip
        wrap = true;
        labelWidth = room;
    }
    Label1->ensurePolished();
    Label1->setWordWrap(wrap);
    Label1->setText(wrap ? breakOverlongWords(shownText, Label1->fontMetrics(), labelWidth) : shownText);
    const int labelHeight = wrap ? Label1->heightForWidth(labelWidth) : Label1->sizeHint().height();
    Label1->setGeometry(kLabelLeft, kLabelTop, labelWidth, labelHeight);

    const int clientHeight = kIconSize > labelHeight ? kIconTop + kIconSize + kButtonHeight + 20
                                                     : kLabelTop + labelHeight + kButtonHeight + 20;
    const int buttonTop = clientHeight - kButtonHeight - 10;

    Ano->setVisible(buttonSet != 0);
    Zrusit->setVisible(buttonSet == 2);
    if (buttonSet == 1) {
        Ano->move((outerWidth - (2 * kButtonWidth + 6)) / 2, buttonTop);
        Ne->move(Ano->x() + kButtonWidth + 3, buttonTop);
    } else if (buttonSet == 2) {
        Ano->move((outerWidth - (3 * kButtonWidth + 6)) / 2, buttonTop);
        Ne->move(Ano->x() + kButtonWidth + 3, buttonTop);
        Zrusit->move(Ne->x() + kButtonWidth + 3, buttonTop);
    } else {
        Ne->setText(QStringLiteral("OK"));
        Ne->move(clientWidth / 2 - kButtonWidth / 2, buttonTop);
        setWindowTitle(QStringLiteral("Zpráva"));
    }

    // Enter answers "Ano" when it is offered, otherwise the single OK button.
    QPushButton* first = buttonSet == 0 || noByDefault ? Ne : Ano;
    first->setDefault(true);
    first->setFocus();

    const QPixmap picture =
        style()->standardIcon(iconFor(icon), nullptr, this).pixmap(QSize(kIconSize, kIconSize));
    Image1->setPixmap(
        picture.size() == QSize(kIconSize, kIconSize)
            ? picture
            : picture.scaled(kIconSize, kIconSize, Qt::KeepAspectRatio, Qt::SmoothTransformation));

    setFixedSize(clientWidth, clientHeight);
    m_over = QRect(left, top, width, height);
    m_frameGuess = frame;
    placeOver(frame);
}

void TDialogDotaz::placeOver(QSize frame)
{
    const int outerWidth = width() + frame.width();
    const int outerHeight = height() + frame.height();
    // move() marks the position as chosen, so QDialog does not centre the window itself.
    move(m_over.left() + m_over.width() / 2 - outerWidth / 2,
         m_over.top() + m_over.height() / 2 - outerHeight / 2);
}

// Once the window exists its real frame may be known; centre by that instead of the guess.
// A window manager may report the frame only later, so an empty frame says nothing yet.
void TDialogDotaz::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    const QSize frame = frameGeometry().size() - size();
    if (frame != m_frameGuess && frame.width() >= 0 && frame.height() >= 0 && !frame.isNull()) {
        m_frameGuess = frame;
        placeOver(frame);
    }
}

void TDialogDotaz::finishWith(quint8 result)
{
    m_result = result;
    QDialog::done(result);
}

// Esc presses "Ne" (or "OK").
void TDialogDotaz::reject()
{
    if (m_result == 255)
        m_result = 1;
    QDialog::reject();
}

// The close box and Alt+F4: "Zrušit" when it is offered, otherwise "Ne".
void TDialogDotaz::closeEvent(QCloseEvent* event)
{
    if (m_result == 255)
        m_result = Zrusit->isVisibleTo(this) ? 2 : 1;
    QDialog::closeEvent(event);
}

quint8 ShowMessageDialog(const QString& text, int left, int width, int top, int height, int icon,
                         int buttonSet)
{
    record(text, icon, buttonSet, QRect(left, top, width, height), false);
    if (seam().testMode)
        return seam().answers.isEmpty() ? 1 : quint8(seam().answers.dequeue());
    if (!widgetsAvailable()) {
        qWarning("%s", qPrintable(normaliseLineBreaks(text)));
        return closeDefault(buttonSet);
    }

    // The main window may be destroyed while we wait; the pointer then tells us so.
    QPointer<TDialogDotaz> dialog =
        new TDialogDotaz(text, left, width, top, height, icon, buttonSet, g_dialogParent.data());
    dialog->exec();
    if (!dialog)
        return closeDefault(buttonSet);
    quint8 result = dialog->resultCode();
    delete dialog;
    return result == 255 ? closeDefault(buttonSet) : result;
}

quint8 ShowMessageDialogOver(const QWidget* window, const QString& text, int icon, int buttonSet)
{
    QRect over;
    if (window) {
        over = window->frameGeometry();
    } else if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        over = screen->geometry();
    }
    return ShowMessageDialog(text, over.left(), over.width(), over.top(), over.height(), icon, buttonSet);
}

void ShowErrorReport(const QString& text)
{
    record(text, 2, 0, QRect(), true);
    if (seam().testMode)
        return;
    if (!widgetsAvailable()) {
        qWarning("%s", qPrintable(text));
        return;
    }
    QPointer<QMessageBox> box =
        new QMessageBox(QMessageBox::Critical, QStringLiteral("Chyba"), normaliseLineBreaks(text),
                        QMessageBox::Ok, g_dialogParent.data());
    box->setTextFormat(Qt::PlainText);
    box->exec();
    delete box;
}

void InstallDialogFailureReporter()
{
    db::SetFailureReporter([](const QString& text, bool unhandled) {
        if (unhandled)
            ShowErrorReport(text);
        else
            ShowMessageDialogOver(DialogParent(), text, 0, 0);
    });
}

QWidget* DialogParent()
{
    return g_dialogParent.data();
}

void SetDialogParent(QWidget* window)
{
    g_dialogParent = window;
}

namespace MessageDialogSeam {

void setTestMode(bool on)
{
    seam().testMode = on;
    if (!on)
        seam().answers.clear();
}

bool testMode()
{
    return seam().testMode;
}

void setNextAnswer(int answer)
{
    seam().answers.enqueue(answer);
}

const QList<Record>& shown()
{
    return seam().shown;
}

void clearShown()
{
    seam().shown.clear();
}

} // namespace MessageDialogSeam
