#include "shell/varnel.h"

#include "shell/infodialog.h"
#include "shell/mainwindow.h"
#include "shell/settingdialog.h"
#include "shell/titledialog.h"

namespace varnel {

Varnel::Varnel(const Services& s, QObject* parent)
    : QObject(parent), services(s), mailSlot(*s.endpoint), netBrowser(*s.provider) {
    // The windows in their order of creation: the main window first, then the three dialogs.
    Form1 = std::make_unique<TForm1>(*this);
    Frm_Setting = std::make_unique<TFrm_Setting>(Settings, Form1.get());
    Frm_Info = std::make_unique<TFrm_Info>(Form1.get());
    Frm_Title = std::make_unique<TFrm_Title>(Form1.get());
}

Varnel::~Varnel() {
    // Dialogs first: they are children of the main window.
    Frm_Title.reset();
    Frm_Info.reset();
    Frm_Setting.reset();
    Form1.reset();
    mailSlot.Close();
}

void Varnel::Start() {
    Form1->FormShow();
    // A start-up that ended in a close request leaves nothing to show: the program is ending.
    if (!Form1->Closed())
        Form1->show();
}

} // namespace varnel
