#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

// The recording destination window: the folder recordings are written to.
class TForm4 : public QWidget {
    Q_OBJECT
public:
    explicit TForm4(QWidget *parent = nullptr);
    ~TForm4() override;

    // The folder the record command writes into, as Edit1 holds it.
    QString destinationFolder() const;

    QLabel *Label1;
    QPushButton *Button1;
    QLineEdit *Edit1;
    QPushButton *Button2;

    // "Parcourir": lets the user pick or create a folder. Throws EFolderCreationError when the
    // folder cannot be created; Edit1 then keeps its text.
    void Button1Click();
};
