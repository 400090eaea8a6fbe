#pragma once

namespace varnel {

// The three views of the mail list: the send box, the receive box and a new message.
enum class View { Send, Read, Make };

// When each command of the mail menu, the edit menu and the list's pop-up menu may be chosen, from
// the state alone. The main window applies these whenever a menu opens.
struct MailMenuState {
    bool send;
    bool deleteSelected;
};
MailMenuState MailMenuRules(View view, bool rowSelected);

struct EditMenuState {
    bool copy;
    bool paste;
    bool cut;
    bool setting;
};
EditMenuState EditMenuRules(View view, bool memoSelection, bool clipboardText);

struct ViewPopupState {
    bool send;
    bool save;
    bool remove;
    bool removeAll;
};
ViewPopupState ViewPopupRules(View view, bool rowSelected, bool networkFound);

// 返信 (menu, pop-up menu and key): a received mail is selected.
bool ReplyRule(View view, bool rowSelected);

} // namespace varnel
