#include "ui/resources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must be used outside any namespace.
static void initMirdalQrc() { Q_INIT_RESOURCE(mirdal); }

namespace mirdal {

void initResources() {
  static const bool done = (initMirdalQrc(), true);
  (void)done;
}

}  // namespace mirdal
