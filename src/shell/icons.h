#pragma once

#include <QFont>
#include <QIcon>

namespace varnel::icons {

enum class Tool { Send, Delete, Exit, Network, SendBox, ReadBox, Compose };

// The program's own pictures, compiled in as resources.
QIcon Window();               // the window and tray icon at start
QIcon SettingsWindow();       // the settings dialog's own window icon
QIcon MailState(bool unread); // no unread mail / unread mail waiting
QIcon ToolGlyph(Tool tool);   // 16 x 16, with a greyed picture for the disabled state
QIcon Status(int status);     // 0..3: Saved, Sent, Delivered, Opened
QIcon Waiting();              // a sent copy that waits for its receipt and is sent again

// The user interface font: MS PGothic where present, else IPAPGothic or Noto Sans CJK JP, 12 px.
QFont UiFont();

} // namespace varnel::icons
