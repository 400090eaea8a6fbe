#include "shell/mainwindow.h"
#include "shell/varnel.h"

namespace varnel {

void TForm1::Mn_ViewSendClick() {}
void TForm1::Mn_ViewReadClick() {}
void TForm1::Mn_ViewMakeClick() {}
bool TForm1::ShowView()
{
    return true;
}
void TForm1::LV_ViewClick() {}
void TForm1::PM_ViewSaveClick() {}
void TForm1::PM_ViewDeleteClick() {}
void TForm1::PM_ViewAllDeleteClick() {}
void TForm1::PM_ViewSendClick() {}

} // namespace varnel
