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

    QWebEngineView *WebBrowser1;

    // Requests the listings page. Throws EOleException when the address cannot be navigated to.
    void FormCreate();
    void Navigate(const QString &address);

protected:
    bool event(QEvent *event) override;

private:
    void fitOuterSize();

    QString m_guidePage;
    bool m_outerSizeFitted = false;
};

extern TForm5 *Form5;
