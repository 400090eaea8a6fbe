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

QString SettingTrouble(const SettingsReport& report) {
    switch (report.problem) {
    case SettingsReport::NotReadable:
        return QStringLiteral("'%1' の取得に失敗しました.").arg(report.name);
    case SettingsReport::WrongType:
        return QStringLiteral("'%1' のﾃﾞｰﾀ型が不正です.").arg(report.name);
    case SettingsReport::NotWritten:
        return QStringLiteral("'%1' の設定に失敗しました.").arg(report.name);
    case SettingsReport::None:
        break;
    }
    return {};
}

} // namespace varnel::texts
