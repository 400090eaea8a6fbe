#pragma once

class QMainWindow;

namespace varnel {

class ClientArea;
class MailViews;
class Varnel;

// What the window remembers from one run to the next, in the settings file beside the five settings:
// the mail being written ("Draft"), the window's place and size ("WindowGeometry"), the panes
// ("Panes"), the list's column widths ("Columns") and its sort ("ListOrder"). A value that cannot be read is
// passed over.
class SessionMemory {
public:
    SessionMemory(Varnel& app, QMainWindow& window, ClientArea& client, MailViews& views);

    // Before the window is first shown.
    void Restore();
    // At the close, while the widgets still hold what the person left in them.
    void Save();

private:
    Varnel& m_app;
    QMainWindow& m_window;
    ClientArea& m_client;
    MailViews& m_views;
};

} // namespace varnel
