#include "literal_sxnode.h"

#include <QHash>
#include <QTreeWidget>
#include <memory>

#include "Recordset.h"
#include "Statements.h"

namespace {

// The current account as dqjl leaves it: three texts and two values.
struct CurrentRow {
  QString strMc, strLx, strNr;
  store::Value cjsj, zhxg;

  void dqjl(store::Recordset& rs) {
    const auto text = [&rs](const char* name) {
      return QString::fromStdString(rs.Field(name).value_or(std::string()));
    };
    strMc = text(store::kName);
    strLx = text(store::kType);
    strNr = text(store::kContent);
    cjsj = rs.Field(store::kCreated);
    zhxg = rs.Field(store::kModified);
  }
};

}  // namespace

QStringList literalSxnode(store::Connection& cn, QTreeWidget& tvwXs) {
  auto rs = std::make_unique<store::Recordset>();
  rs->Open(store::kTableName, cn);
  tvwXs.clear();
  QHash<QString, QTreeWidgetItem*> nodes;  // the tree's keys
  QStringList arrLx;
  if (rs->RecordCount() == 0) return arrLx;

  CurrentRow row;
  rs->MoveFirst();
  const auto n = static_cast<qint16>(rs->RecordCount());
  QStringList arrJlLx;
  for (int i = 1; i <= n; ++i) {
    row.dqjl(*rs);
    arrJlLx.append(row.strLx);
    rs->MoveNext();
  }
  for (int a = 0; a < n - 1; ++a)
    for (int b = a + 1; b < n; ++b)
      if (arrJlLx[b] == arrJlLx[a]) arrJlLx[b] = QString();
  for (const QString& type : arrJlLx)
    if (!type.isEmpty()) arrLx.append(type);

  for (qsizetype t = 0; t < arrLx.size(); ++t) {
    auto* node = new QTreeWidgetItem(&tvwXs, QStringList(arrLx[t]));
    nodes.insert(QStringLiteral("y%1").arg(t + 1), node);
  }
  for (qsizetype t = 0; t < arrLx.size(); ++t) {
    QTreeWidgetItem* parent = nodes.value(QStringLiteral("y%1").arg(t + 1));
    rs->MoveFirst();
    const auto count = static_cast<qint16>(rs->RecordCount());
    for (int l = 1; l <= count; ++l) {
      row.dqjl(*rs);
      if (arrLx[t] == row.strLx)
        nodes.insert(QStringLiteral("c%1").arg(l), new QTreeWidgetItem(parent, {row.strMc}));
      rs->MoveNext();
    }
  }
  rs->Close();
  return arrLx;
}
