#include "Passphrase.h"

#include <sodium.h>

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "MessageBox.h"
#include "Protection.h"
#include "Texts.h"

namespace Module1 {
namespace {

std::function<std::optional<QString>()>& passphraseScript() {
  static std::function<std::optional<QString>()> script;
  return script;
}

// The typed text as a Secret; the copies this code made are wiped.
bool offer(QString typed, const std::function<bool(const store::Secret&)>& accept) {
  QByteArray utf8 = typed.toUtf8();
  const store::Secret secret(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
  sodium_memzero(utf8.data(), static_cast<size_t>(utf8.size()));
  typed.fill(QChar(0));
  return accept(secret);
}

}  // namespace

bool askPassphrase(const std::function<bool(const store::Secret&)>& accept) {
  if (passphraseScript()) {
    while (std::optional<QString> typed = passphraseScript()()) {
      if (offer(*typed, accept)) return true;
      inform(nullptr, texts::kWrongPassphrase);
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
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &window);
  for (const auto& [which, text] : {std::pair{QDialogButtonBox::Ok, texts::kOk},
                                    std::pair{QDialogButtonBox::Cancel, texts::kCancel}}) {
    buttons->button(which)->setText(QString::fromUtf8(text));
    buttons->button(which)->setIcon(QIcon());  // as on the message boxes: no theme pictures
  }
  buttons->button(QDialogButtonBox::Ok)->setDefault(true);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &window, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &window, &QDialog::reject);
  auto* layout = new QVBoxLayout(&window);
  layout->addWidget(prompt);
  layout->addWidget(box);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  while (window.exec() == QDialog::Accepted) {
    const QString typed = box->text();
    box->clear();
    if (offer(typed, accept)) return true;
    inform(&window, texts::kWrongPassphrase);  // hides the window while the box is open
  }
  return false;
}

void setPassphraseScript(std::function<std::optional<QString>()> script) {
  passphraseScript() = std::move(script);
}

}  // namespace Module1
