#include "WebPage.h"

#include <QDesktopServices>
#include <QUrl>

namespace Module1 {
namespace {

std::function<void(const QString&)>& webOpener() {
  static std::function<void(const QString&)> opener;
  return opener;
}

}  // namespace

void openWebPage(const QString& url) {
  if (webOpener()) {
    webOpener()(url);
    return;
  }
  QDesktopServices::openUrl(QUrl(url));
}

void setWebOpener(std::function<void(const QString&)> opener) {
  webOpener() = std::move(opener);
}

}  // namespace Module1
