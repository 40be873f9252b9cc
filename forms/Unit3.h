#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

// The about window: who wrote the program, with a link to the author's page.
class TForm3 : public QWidget {
    Q_OBJECT
public:
    explicit TForm3(const QString &authorPage, QWidget *parent = nullptr);
    ~TForm3() override;

    QLabel *Label1;
    QLabel *Label2;
    QPushButton *Button1;

    // Opens the author's page in the user's browser; the window stays open.
    void Label2Click();
    // "Fermer": hides the window.
    void Button1Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QString m_authorPage;
    bool m_label2Pressed = false;
};
