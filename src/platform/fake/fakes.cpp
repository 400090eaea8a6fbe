// The fakes are mostly header-only; this unit anchors the library.
#include "platform/fake/fakeclock.h"
#include "platform/fake/fakesettingsstore.h"
