#include "shell/icons.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

// The pictures are compiled into this static library; naming the resource's initialiser here keeps the
// linker from dropping it and registers it before the first picture is asked for. Registering twice is
// harmless: Qt keeps one copy.
static void InitVarnelResources() {
    Q_INIT_RESOURCE(resources);
}

namespace varnel::icons {

namespace {

QString Path(const char* name) {
    static const bool registered = (InitVarnelResources(), true);
    Q_UNUSED(registered);
    return QStringLiteral(":/icons/") + QLatin1String(name);
}

QImage Render(const QString& path, int side) {
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QSvgRenderer renderer(path);
    QPainter painter(&image);
    renderer.render(&painter);
    painter.end();
    return image;
}

// The disabled look of a tool bar glyph: grey, lightened and half transparent, so a disabled button
// reads as unavailable whatever the style would generate.
QImage Greyed(const QImage& source) {
    QImage image = source.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int grey = 96 + qGray(line[x]) * 5 / 8;
            line[x] = qRgba(grey, grey, grey, qAlpha(line[x]) * 9 / 20);
        }
    }
    return image;
}

const char* ToolFile(Tool tool) {
    switch (tool) {
    case Tool::Send:
        return "tool-send.svg";
    case Tool::Delete:
        return "tool-delete.svg";
    case Tool::Exit:
        return "tool-exit.svg";
    case Tool::Network:
        return "tool-network.svg";
    case Tool::SendBox:
        return "tool-sendbox.svg";
    case Tool::ReadBox:
        return "tool-readbox.svg";
    case Tool::Compose:
        return "tool-compose.svg";
    }
    return "tool-send.svg";
}

} // namespace

QIcon Window() {
    return QIcon(Path("window.svg"));
}

QIcon SettingsWindow() {
    return QIcon(Path("settings.svg"));
}

QIcon MailState(bool unread) {
    return QIcon(Path(unread ? "mail-unread.svg" : "mail-none.svg"));
}

QIcon ToolGlyph(Tool tool) {
    // Drawn at the button size and at twice that for high-density screens, each with its greyed twin.
    const QString path = Path(ToolFile(tool));
    QIcon icon;
    for (const int side : {16, 32}) {
        const QImage image = Render(path, side);
        icon.addPixmap(QPixmap::fromImage(image), QIcon::Normal);
        icon.addPixmap(QPixmap::fromImage(Greyed(image)), QIcon::Disabled);
    }
    return icon;
}

QIcon Status(int status) {
    static constexpr const char* files[] = {"status-saved.svg", "status-sent.svg", "status-delivered.svg",
                                            "status-opened.svg"};
    if (status < 0 || status >= int(std::size(files)))
        return QIcon();
    return QIcon(Path(files[status]));
}

QIcon Waiting() {
    return QIcon(Path("status-waiting.svg"));
}

QFont UiFont() {
    QFont font;
    font.setFamilies(
        {QStringLiteral("MS PGothic"), QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP")});
    font.setPixelSize(12);
    return font;
}

} // namespace varnel::icons
