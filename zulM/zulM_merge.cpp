// A sync client that found the book changed on two computers keeps one file at the store's
// path and puts the other beside it as a conflict copy. The user is asked whether to bring it
// in; merged, it goes into the folder 已合并 so that it is not offered again.
#include <QFile>
#include <QScopedValueRollback>

#include "ConflictCopies.h"
#include "Merge.h"
#include "MessageBox.h"
#include "Passphrase.h"
#include "Sql.h"
#include "StoreError.h"
#include "Texts.h"
#include "zulM.h"

// Nothing is offered while the store is locked.
void zulM::offerMerges() {
  if (offeringMerges || blnSd) return;
  mergesPending = false;
  const QScopedValueRollback busy(offeringMerges, true);
  for (const std::filesystem::path& copy :
       store::conflictCopies(QFile::encodeName(storePath_).toStdString())) {
    if (!copiesAsked.insert(copy).second) continue;
    // At start the boxes come before the window.
    QWidget* over = isVisible() ? this : nullptr;
    const std::string question = store::fillText(texts::kMergeAsk, copy.filename().string());
    const bool yes = Module1::ask(over, question.c_str()) == Module1::vbYes;
    // A lock answers the question 否 for the user, who is asked again once it is unlocked.
    if (blnSd) {
      copiesAsked.erase(copy);
      mergesPending = true;
      return;
    }
    if (yes) mergeCopy(copy, over);
  }
}

// The copy is only read. A copy that is no store or was doctored is refused before anything is
// written: that is told and the program goes on, the copy left in place.
void zulM::mergeCopy(const std::filesystem::path& path, QWidget* over) {
  followStore();  // merged into the file at the path now
  const std::string name = path.filename().string();
  store::Connection copy;
  store::MergeCounts counts;
  try {
    copy.Open(path.string(), store::Connection::Access::ReadOnly);
    const std::string note = store::fillText(texts::kMergeCopyPassphraseNote, name);
    const QScopedValueRollback asking(askingPassphrase, true);  // no lock meanwhile
    if (copy.isProtected() && !copy.borrowKey(cn) &&
        !Module1::askPassphrase(
            [&copy](const store::Secret& passphrase) { return copy.unlock(passphrase); },
            note.c_str()))
      return;
    counts = store::inTransaction(cn, [&] { return store::mergeStores(cn, copy); });
  } catch (const store::StoreError& refusal) {
    // Every refusal of the copy names it; a failure of the user's own store ends the program,
    // as everywhere else.
    if (refusal.description().find(path.string()) == std::string::npos) throw;
    Module1::inform(over, (refusal.description() + '\n' + texts::kMergeCopyLeft).c_str());
    return;
  }
  store::setAside(path);
  refreshTree();
  const std::string done = store::fillText(
      texts::kMergeDone, {name, std::filesystem::path(cn.path()).filename().string(),
                          std::to_string(counts.added), std::to_string(counts.updated),
                          std::to_string(counts.deleted), std::to_string(counts.copies)});
  Module1::inform(over, (done + '\n' + texts::kMergeCopyMoved).c_str());
}
