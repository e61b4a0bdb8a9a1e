#include "toolkit/icons.h"

#include <QIcon>
#include <QString>

// The resources live in a static library; their registration must be pulled in explicitly, and the
// macro must be used outside any namespace.
static void EnsureIconResources() {
  static bool done = [] {
    Q_INIT_RESOURCE(parlatrix);
    return true;
  }();
  (void)done;
}

namespace toolkit {

QIcon ResourceIcon(const char* path) {
  EnsureIconResources();
  return QIcon(QString::fromUtf8(path));
}

QIcon MainIcon() {
  return ResourceIcon(kMainIconPath);
}

QIcon AboutIcon() {
  return ResourceIcon(kAboutIconPath);
}

}  // namespace toolkit
