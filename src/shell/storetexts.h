#pragma once

#include "store/storenotice.h"

#include <QString>
#include <vector>

namespace varnel::storetexts {

// What the store has to tell, in the words the person reads.
QString Text(const StoreNotice& notice);
// Several notices in one box, a blank line between them; empty for none.
QString Text(const std::vector<StoreNotice>& notices);
// Why this copy cannot use the data folder (Held), or uses it without a lock (Failed).
QString Text(const FolderLock& lock);

} // namespace varnel::storetexts
