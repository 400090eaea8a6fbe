#include "shell/mainwindow.h"
#include "shell/varnel.h"

#include <QCloseEvent>

namespace varnel {

void TForm1::FormShow() {}
void TForm1::FormClose() {}
void TForm1::CloseRequest() {}
void TForm1::Mn_MailCloseClick() {}
void TForm1::Mn_EditSettingClick() {}
void TForm1::Mn_InfoInfoClick() {}
void TForm1::closeEvent(QCloseEvent* event)
{
    event->accept();
}

} // namespace varnel
