#include "WebPage.h"
#include "version.h"
#include "zulM.h"

namespace {

QString pageAddress(const char* path) {
  return QStringLiteral("http://") + QString::fromUtf8(version::kWebHost) + QString::fromUtf8(path);
}

}  // namespace

void zulM::cmdAbout_Click() {
  Module1::openWebPage(pageAddress("/mypregrams/zul/about.html"));
}

void zulM::cmdHelp_Click() {
  Module1::openWebPage(pageAddress("/mypregrams/zul/usersc.html"));
}
