#include "settings/settingslogic.h"

#include <limits>

namespace varnel {
namespace {

const QString kTray = QStringLiteral("Tray");
const QString kPopup = QStringLiteral("Popup");
const QString kFront = QStringLiteral("Front");
const QString kSendFina = SendFinaKey();
const QString kReadFina = ReadFinaKey();

using Problem = SettingsReport::Problem;

// A flag is a 32-bit number; any value other than 0 is true. A number that does not fit in 32 bits
// cannot be read into a flag; anything that is not a number is of the wrong type.
bool ReadFlag(const QVariant& value, bool& flag, Problem& error) {
    qlonglong number = 0;
    bool ok = false;
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        number = value.toLongLong(&ok);
        if (!ok) { // an unsigned number beyond the signed range
            error = SettingsReport::NotReadable;
            return false;
        }
        break;
    case QMetaType::QString: {
        const QString text = value.toString().trimmed();
        number = text.toLongLong(&ok, 10);
        if (!ok) {
            // Digits too many for any number still are a number: they do not fit.
            bool digits = !text.isEmpty();
            for (qsizetype k = (text.startsWith(u'-') ? 1 : 0); k < text.size(); ++k)
                digits = digits && text.at(k).isDigit();
            error = digits && text != QStringLiteral("-") ? SettingsReport::NotReadable
                                                          : SettingsReport::WrongType;
            return false;
        }
        break;
    }
    default:
        error = SettingsReport::WrongType;
        return false;
    }
    if (number > qlonglong(std::numeric_limits<quint32>::max()) ||
        number < qlonglong(std::numeric_limits<qint32>::min())) {
        error = SettingsReport::NotReadable;
        return false;
    }
    flag = number != 0;
    return true;
}

bool ReadName(const QVariant& value, QString& fileName, Problem& error) {
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString();
        const qsizetype zero = text.indexOf(QChar(0));
        fileName = zero < 0 ? text : text.left(zero);
        return true;
    }
    error = SettingsReport::WrongType;
    return false;
}

} // namespace

SettingsReport ReadSettings(SettingsStore& store, SETTING& settings) {
    if (!store.OpenKey())
        return {SettingsReport::StoreUnavailable, SettingsReport::None, {}};
    SettingsReport report;
    const auto fail = [&](Problem problem, const QString& name) {
        store.CloseKey();
        return SettingsReport{SettingsReport::ValueError, problem, name};
    };
    const std::pair<const QString*, bool*> flags[] = {
        {&kTray, &settings.Tray}, {&kPopup, &settings.Popup}, {&kFront, &settings.Front}};
    for (const auto& [name, flag] : flags) {
        Problem error = SettingsReport::None;
        if (!store.Contains(*name))
            *flag = false;
        else if (!ReadFlag(store.Value(*name), *flag, error))
            return fail(error, *name);
    }
    const std::tuple<const QString*, QString*, QString> names[] = {
        {&kSendFina, &settings.SendFina, DefaultSendFina()},
        {&kReadFina, &settings.ReadFina, DefaultReadFina()}};
    for (const auto& [name, fileName, fallback] : names) {
        Problem error = SettingsReport::None;
        if (!store.Contains(*name))
            *fileName = fallback;
        else if (!ReadName(store.Value(*name), *fileName, error))
            return fail(error, *name);
    }
    store.CloseKey();
    return report;
}

SettingsReport WriteSettings(SettingsStore& store, const SETTING& settings) {
    if (!store.OpenKey())
        return {SettingsReport::StoreUnavailable, SettingsReport::None, {}};
    const std::pair<const QString*, QVariant> values[] = {
        {&kTray, int(settings.Tray ? 1 : 0)},   {&kPopup, int(settings.Popup ? 1 : 0)},
        {&kFront, int(settings.Front ? 1 : 0)}, {&kSendFina, settings.SendFina},
        {&kReadFina, settings.ReadFina},
    };
    for (const auto& [name, value] : values) {
        if (!store.SetValue(*name, value)) {
            store.CloseKey();
            return {SettingsReport::ValueError, SettingsReport::NotWritten, *name};
        }
    }
    store.CloseKey();
    return {};
}

bool ReadSealedOnly(SettingsStore& store) {
    if (!store.OpenKey())
        return false;
    bool flag = false;
    Problem error = SettingsReport::None;
    const QString name = QStringLiteral("SealedOnly");
    if (store.Contains(name) && !ReadFlag(store.Value(name), flag, error))
        flag = false;
    store.CloseKey();
    return flag;
}

bool WriteSealedOnly(SettingsStore& store, bool sealedOnly) {
    if (!store.OpenKey())
        return false;
    const bool written = store.SetValue(QStringLiteral("SealedOnly"), int(sealedOnly ? 1 : 0));
    store.CloseKey();
    return written;
}

QString ReadWorkgroup(SettingsStore& store) {
    QString workgroup;
    if (store.OpenKey()) {
        const QVariant value = store.Value(QStringLiteral("Workgroup"));
        if (value.typeId() == QMetaType::QString && !value.toString().trimmed().isEmpty())
            workgroup = value.toString().trimmed();
        store.CloseKey();
    }
    return workgroup;
}

} // namespace varnel
