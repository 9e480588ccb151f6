#pragma once
// Catches the addresses a test's code asks the desktop to open (QDesktopServices::openUrl), for as long
// as it lives: nothing is really opened, and every address is kept in order.
#include <QDesktopServices>
#include <QList>
#include <QObject>
#include <QUrl>

namespace kirune::test {

class UrlCatcher : public QObject {
  Q_OBJECT
 public:
  explicit UrlCatcher(QString scheme = QStringLiteral("file")) : scheme_(std::move(scheme)) {
    QDesktopServices::setUrlHandler(scheme_, this, "open");
  }
  ~UrlCatcher() override { QDesktopServices::unsetUrlHandler(scheme_); }
  UrlCatcher(const UrlCatcher&) = delete;
  UrlCatcher& operator=(const UrlCatcher&) = delete;

  QList<QUrl> urls;

 public slots:
  void open(const QUrl& url) { urls.append(url); }

 private:
  QString scheme_;
};

}  // namespace kirune::test
