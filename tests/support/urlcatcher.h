#ifndef URLCATCHER_H
#define URLCATCHER_H

#include <QDesktopServices>
#include <QList>
#include <QObject>
#include <QUrl>

namespace TestSupport {

// Receives what the program hands to the desktop's default application,
// while it lives.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    UrlCatcher() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "open"); }
    ~UrlCatcher() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls << url; }
};

} // namespace TestSupport

#endif // URLCATCHER_H
