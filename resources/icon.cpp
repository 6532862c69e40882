#include "icon.h"

QIcon programIcon() {
  return QIcon(QStringLiteral(":/kelvarn.png"));
}
