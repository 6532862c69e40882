#include "Passphrase.h"

#include <sodium.h>

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>
#include <exception>

#include "MessageBox.h"
#include "Protection.h"
#include "Texts.h"

namespace Module1 {
namespace {

std::function<std::optional<QString>()>& passphraseScript() {
  static std::function<std::optional<QString>()> script;
  return script;
}

// Deriving the key takes about half a second, longer on a slow machine: it runs on a thread of
// its own while the windows go on painting and answering the window manager, under a busy
// cursor. Input waits until it is done.
bool whileBusy(const std::function<bool()>& work) {
  bool result = false;
  std::exception_ptr error;
  QEventLoop loop;
  std::unique_ptr<QThread> thread(QThread::create([&] {
    try {
      result = work();
    } catch (...) {
      error = std::current_exception();
    }
  }));
  QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  thread->start();
  loop.exec(QEventLoop::ExcludeUserInputEvents);
  thread->wait();
  QApplication::restoreOverrideCursor();
  if (error) std::rethrow_exception(error);
  return result;
}

// Tells what is wrong with the typed text, or offers it to `accept` as a Secret; the copies
// this code made are wiped.
bool offer(QWidget* window, QString typed,
           const std::function<bool(const store::Secret&)>& accept) {
  QByteArray utf8 = typed.toUtf8();
  typed.fill(QChar(0));
  const std::string_view bytes(utf8.constData(), static_cast<size_t>(utf8.size()));
  const char* problem = store::passphraseProblem(bytes, false);
  const store::Secret secret(problem ? std::string_view() : bytes);
  sodium_memzero(utf8.data(), static_cast<size_t>(utf8.size()));
  if (!problem && whileBusy([&] { return accept(secret); })) return true;
  inform(window, problem ? problem : texts::kWrongPassphrase);
  return false;
}

}  // namespace

bool askPassphrase(const std::function<bool(const store::Secret&)>& accept, const char* note) {
  if (passphraseScript()) {
    while (std::optional<QString> typed = passphraseScript()()) {
      if (offer(nullptr, *typed, accept)) return true;
    }
    return false;
  }
  QDialog window(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
  window.setObjectName(QStringLiteral("passphrase"));
  window.setWindowTitle(QString::fromUtf8(texts::kAppTitle));
  auto* prompt = new QLabel(QString::fromUtf8(texts::kPassphrasePrompt), &window);
  auto* box = new QLineEdit(&window);
  box->setEchoMode(QLineEdit::Password);
  // One character more than fits, so that a longer passphrase is told as such, not cut.
  box->setMaxLength(static_cast<int>(store::kMaxPassphraseBytes) + 1);
  auto* working = new QLabel(&window);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &window);
  for (const auto& [which, text] : {std::pair{QDialogButtonBox::Ok, texts::kOk},
                                    std::pair{QDialogButtonBox::Cancel, texts::kCancel}}) {
    buttons->button(which)->setText(QString::fromUtf8(text));
    buttons->button(which)->setIcon(QIcon());  // as on the message boxes: no theme pictures
  }
  buttons->button(QDialogButtonBox::Ok)->setDefault(true);
  // A loop of its own rather than exec(): exec() would end when the window hides for a box.
  QEventLoop asking;
  bool unlocked = false;
  QObject::connect(&window, &QDialog::finished, &asking, &QEventLoop::quit);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &window, [&] {
    const QString typed = box->text();
    box->clear();
    working->setText(QString::fromUtf8(texts::kCheckingPassphrase));
    box->setEnabled(false);
    buttons->setEnabled(false);
    const bool right = offer(&window, typed, accept);  // hides the window while a box is up
    working->clear();
    box->setEnabled(true);
    buttons->setEnabled(true);
    box->setFocus();
    unlocked = right;
    if (right) window.accept();
  });
  QObject::connect(buttons, &QDialogButtonBox::rejected, &window, &QDialog::reject);
  auto* layout = new QVBoxLayout(&window);
  layout->addWidget(prompt);
  if (note) layout->addWidget(new QLabel(QString::fromUtf8(note), &window));
  layout->addWidget(box);
  layout->addWidget(working);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  window.setWindowModality(Qt::ApplicationModal);
  window.show();
  asking.exec();
  return unlocked;
}

void setPassphraseScript(std::function<std::optional<QString>()> script) {
  passphraseScript() = std::move(script);
}

}  // namespace Module1
