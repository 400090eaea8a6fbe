#include "shell/helpwindow.h"

#include "shell/icons.h"
#include "shell/texts.h"

#include <QImage>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSvgRenderer>
#include <QTextBrowser>
#include <QVBoxLayout>

// The help text is compiled into this static library beside the pictures.
static void InitHelpResources() {
    Q_INIT_RESOURCE(resources);
}

namespace varnel {

namespace {

const QUrl kContents(QStringLiteral("qrc:/help/index.html"));

// Draws the program's SVG pictures for the help's inline images itself, so the help shows them without
// relying on an image format plugin.
class HelpBrowser : public QTextBrowser {
public:
    using QTextBrowser::QTextBrowser;

    QVariant loadResource(int type, const QUrl& name) override {
        if (type != QTextDocument::ImageResource || name.scheme() != QLatin1String("qrc") ||
            !name.path().endsWith(QLatin1String(".svg")))
            return QTextBrowser::loadResource(type, name);
        QSvgRenderer renderer(QLatin1Char(':') + name.path());
        if (!renderer.isValid())
            return {};
        QImage image(renderer.defaultSize(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        renderer.render(&painter);
        painter.end();
        return image;
    }
};

} // namespace

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    InitHelpResources();
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(texts::HelpCaption());
    setWindowIcon(icons::Window());
    resize(560, 520);

    m_browser = new HelpBrowser(this);
    m_browser->setObjectName(QStringLiteral("Browser"));
    m_browser->setOpenExternalLinks(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_browser);
    m_browser->setSource(kContents);
}

// Escape closes the help, as it closes the dialogs.
void HelpWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void HelpWindow::ShowContents() {
    if (m_browser->source() != kContents)
        m_browser->setSource(kContents);
    show();
    m_browser->horizontalScrollBar()->setValue(0);
    m_browser->verticalScrollBar()->setValue(0);
    raise();
    activateWindow();
}

} // namespace varnel
