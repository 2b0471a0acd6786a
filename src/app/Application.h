#pragma once

#include <QApplication>
#include <QTranslator>

// The application object. A failure that no handler caught ends the current user action
// and is shown in a plain error box; the program then goes on with the next event.
class Application : public QApplication
{
    Q_OBJECT
public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

private:
    // The toolkit's own texts (file dialogs, standard buttons) in Czech.
    QTranslator m_toolkitTexts;
};
