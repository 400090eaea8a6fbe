#pragma once

class QKeyEvent;
class QWidget;

namespace varnel {

// The small dialogs open in the middle of the screen, not over their owner.
void CentreOnScreen(QWidget* dialog);
// Over the middle of the owner window (on the screen when there is none or it is hidden).
void CentreOverOwner(QWidget* dialog, const QWidget* owner);

// No dialog of the program has a default button: Enter presses the enabled button that has the
// focus, and nothing else. True when the key was Enter (it is then handled, pressed or not).
bool PressFocusedButton(QWidget* dialog, const QKeyEvent* event);

} // namespace varnel
