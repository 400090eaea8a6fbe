#include "shell/commandrules.h"

namespace varnel {

MailMenuState MailMenuRules(View view, bool rowSelected) {
    return {view != View::Read, rowSelected};
}

EditMenuState EditMenuRules(View view, bool memoSelection, bool clipboardText) {
    // Outside the new-message view the memo only shows stored mail, which must not change.
    const bool composing = view == View::Make;
    return {memoSelection, composing && clipboardText, composing && memoSelection, true};
}

ViewPopupState ViewPopupRules(View view, bool rowSelected, bool networkFound) {
    ViewPopupState s{false, false, false, true};
    if (rowSelected) {
        s.send = view != View::Read;
        // In the send box: a copy on its way is kept unsent, and its tries stop.
        s.save = view != View::Read;
        s.remove = true;
    } else {
        s.save = view == View::Make;
    }
    // Nothing goes out while the last listing found no machine.
    if (!networkFound)
        s.send = false;
    return s;
}

bool ReplyRule(View view, bool rowSelected) {
    return view == View::Read && rowSelected;
}

} // namespace varnel
