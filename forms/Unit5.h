#pragma once

#include "app/Constants.h"

#include <QString>
#include <QWidget>

class QWebEngineView;

// The television guide: the listings page in an embedded browser. The page is requested once,
// at start-up, and stays as the user left it when the window is closed and shown again.
class TForm5 : public QWidget {
    Q_OBJECT
public:
    explicit TForm5(const QString &guidePage = QString::fromUtf8(halcyon::GuidePageUrl),
                    QWidget *parent = nullptr);

    ~TForm5() override;

    QWebEngineView *WebBrowser1;

    // Requests the listings page; the window stays hidden.
    void FormCreate();
    // Starts loading address. Throws EOleException when it is no address to navigate to.
    void Navigate(const QString &address);

protected:
    bool event(QEvent *event) override;

private:
    void fitOuterSize();

    QString m_guidePage;
    bool m_outerSizeFitted = false;
};

extern TForm5 *Form5;
