#include "shell/mainwindow.h"
#include "shell/varnel.h"

namespace varnel {

void TForm1::Mn_MailSendClick() {}
bool TForm1::SendComposed()
{
    return false;
}
bool TForm1::SendSelected()
{
    return false;
}
void TForm1::Tm_CheckMailTimer() {}
bool TForm1::FillNetworkTree()
{
    return false;
}
bool TForm1::DetectLocalHostName()
{
    return false;
}
void TForm1::Mn_ViewNetClick() {}
void TForm1::TV_NetworkDblClick() {}

} // namespace varnel
