#include "shell/draft.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace varnel {

namespace {

// Host names are bytes; base64 carries them through the text unchanged.
QString BytesText(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toBase64());
}

bool TextBytes(const QJsonValue& value, QByteArray& bytes) {
    if (!value.isString())
        return false;
    const auto decoded =
        QByteArray::fromBase64Encoding(value.toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return false;
    bytes = *decoded;
    return true;
}

} // namespace

QString Draft::ToText() const {
    QJsonArray list;
    for (const Row& row : rows)
        list.append(QJsonObject{{QStringLiteral("title"), row.title},
                                {QStringLiteral("sender"), BytesText(row.sender)},
                                {QStringLiteral("recipient"), BytesText(row.recipient)}});
    const QJsonObject draft{{QStringLiteral("rows"), list}, {QStringLiteral("text"), text}};
    return QString::fromUtf8(QJsonDocument(draft).toJson(QJsonDocument::Compact));
}

bool Draft::FromText(const QString& text, Draft& draft) {
    draft = {};
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8());
    if (!doc.isObject())
        return false;
    const QJsonObject object = doc.object();
    if (!object.value(QStringLiteral("rows")).isArray() || !object.value(QStringLiteral("text")).isString())
        return false;
    Draft read;
    read.text = object.value(QStringLiteral("text")).toString();
    for (const QJsonValue& value : object.value(QStringLiteral("rows")).toArray()) {
        const QJsonObject row = value.toObject();
        Row r;
        if (!row.value(QStringLiteral("title")).isString() ||
            !TextBytes(row.value(QStringLiteral("sender")), r.sender) ||
            !TextBytes(row.value(QStringLiteral("recipient")), r.recipient))
            return false;
        r.title = row.value(QStringLiteral("title")).toString();
        read.rows.append(r);
    }
    draft = read;
    return true;
}

} // namespace varnel
