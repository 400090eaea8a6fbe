#include "shell/varnel.h"

#include "shell/infodialog.h"
#include "shell/mainwindow.h"
#include "shell/settingdialog.h"
#include "shell/titledialog.h"

namespace varnel {

Varnel::Varnel(const Services& s, QObject* parent)
    : QObject(parent), m_services(s), m_post(*s.endpoint, *s.provider, *s.files, *s.clock) {
    m_post.SetSealDesk(s.seals);
    // The windows in their order of creation: the main window first, then the three dialogs.
    m_window = std::make_unique<MainWindow>(*this);
    m_settingDialog = std::make_unique<SettingDialog>(m_settings, m_window.get(), s.seals, s.settings);
    m_infoDialog = std::make_unique<InfoDialog>(m_window.get(), s.seals);
    m_titleDialog = std::make_unique<TitleDialog>(m_window.get(), s.prompt);
}

Varnel::~Varnel() {
    // Dialogs first: they are children of the main window.
    m_titleDialog.reset();
    m_infoDialog.reset();
    m_settingDialog.reset();
    m_window.reset();
    m_post.CloseEndpoint();
}

void Varnel::Start() {
    m_window->Start();
    // A start-up that ended in a close request leaves nothing to show: the program is ending.
    if (!m_window->Closed())
        m_window->show();
}

void Varnel::RequestClose() {
    if (!m_window->Closed())
        m_window->RequestClose();
}

bool Varnel::Closed() const {
    return m_window->Closed();
}

} // namespace varnel
