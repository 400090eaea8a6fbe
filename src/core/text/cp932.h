#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace varnel::cp932 {

// Mail texts are code page 932 bytes below the window; these two calls are the only crossing.

// Bytes to text. A byte sequence that is not valid CP932 shows as U+FFFD; nothing is lost in
// storage because the bytes themselves are never rewritten from the text.
QString Decode(QByteArrayView bytes);

// Text to bytes. False when a character has no CP932 form; badChar then holds that character.
bool Encode(const QString& text, QByteArray& out, QString* badChar = nullptr);

} // namespace varnel::cp932
