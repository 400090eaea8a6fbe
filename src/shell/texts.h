#pragma once

#include "settings/settingslogic.h"

#include <QString>

namespace varnel::texts {

// The words of the window that more than one part shows: the captions of the boxes and the names
// the person knows the mailboxes by.
QString Caption();    // "Varnel for Windows95": the main window and its message boxes
QString LocalError(); // the caption of boxes about this machine: endpoint, settings, disk
QString SendBoxName();
QString ReceiveBoxName();
// Why a stored setting stopped the reading or writing, for the error box.
QString SettingTrouble(const SettingsReport& report);

} // namespace varnel::texts
