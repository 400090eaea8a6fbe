#include "shell/texts.h"

namespace varnel::texts {

QString Caption() {
    return QStringLiteral("Varnel for Windows95");
}

QString LocalError() {
    return QStringLiteral("ﾛｰｶﾙｴﾗｰ");
}

QString SendBoxName() {
    return QStringLiteral("送信BOX");
}

QString ReceiveBoxName() {
    return QStringLiteral("受信BOX");
}

} // namespace varnel::texts
