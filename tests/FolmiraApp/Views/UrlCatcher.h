#pragma once

// Catches the addresses the application hands to the desktop's browser.

#include <QList>
#include <QObject>
#include <QUrl>

namespace FolmiraAppTest {

class UrlCatcher : public QObject {
    Q_OBJECT

public:
    UrlCatcher();
    ~UrlCatcher() override;
    QList<QUrl> opened;

public slots:
    void open(const QUrl& url) { opened << url; }
};

} // namespace FolmiraAppTest
