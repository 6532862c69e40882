#include "ErrorReport.h"

#include <cstdio>
#include <cstdlib>

#include "MessageBox.h"
#include "StoreError.h"
#include "Texts.h"
#include "Tray.h"

namespace Module1 {
namespace {

std::function<void(int)>& programEnd() {
  static std::function<void(int)> end;
  return end;
}

}  // namespace

void reportFatal(const store::StoreError& error) {
  const QString text =
      QString::fromUtf8(texts::kErrorReport)
          .arg(QString::number(error.number()), QString::fromStdString(error.description()));
  MsgBox(nullptr, {text, QString::fromUtf8(texts::kAppTitle), Buttons::Ok, vbOK});
  deleteIcon();
  endProgram(1);
}

void endProgram(int exitCode) {
  if (programEnd()) return programEnd()(exitCode);
  // Every store write is committed when it returns, so ending here loses nothing.
  std::fflush(nullptr);
  std::_Exit(exitCode);
}

void setProgramEnd(std::function<void(int exitCode)> end) {
  programEnd() = std::move(end);
}

}  // namespace Module1
