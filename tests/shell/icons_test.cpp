#include "shell/icons.h"

#include <QImage>
#include <QPixmap>
#include <QtTest>

using namespace varnel;

Q_DECLARE_METATYPE(QIcon)

namespace {

QImage Picture(const QIcon& icon, int side, QIcon::Mode mode = QIcon::Normal) {
    return icon.pixmap(side, side, mode).toImage().convertToFormat(QImage::Format_ARGB32);
}

// Pixels that are drawn at all (alpha above zero).
int Coverage(const QImage& image) {
    int drawn = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            drawn += qAlpha(image.pixel(x, y)) > 0 ? 1 : 0;
    return drawn;
}

} // namespace

class IconsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The pictures are compiled in: each one draws something at the sizes the windows ask for.
    void everyPictureDraws_data() {
        QTest::addColumn<QIcon>("icon");
        QTest::addColumn<int>("side");
        QTest::newRow("window") << icons::Window() << 32;
        QTest::newRow("settings window") << icons::SettingsWindow() << 32;
        QTest::newRow("no unread mail") << icons::MailState(false) << 32;
        QTest::newRow("unread mail") << icons::MailState(true) << 32;
        QTest::newRow("send") << icons::ToolGlyph(icons::Tool::Send) << 16;
        QTest::newRow("delete") << icons::ToolGlyph(icons::Tool::Delete) << 16;
        QTest::newRow("exit") << icons::ToolGlyph(icons::Tool::Exit) << 16;
        QTest::newRow("network") << icons::ToolGlyph(icons::Tool::Network) << 16;
        QTest::newRow("send box") << icons::ToolGlyph(icons::Tool::SendBox) << 16;
        QTest::newRow("receive box") << icons::ToolGlyph(icons::Tool::ReadBox) << 16;
        QTest::newRow("compose") << icons::ToolGlyph(icons::Tool::Compose) << 16;
        QTest::newRow("saved") << icons::Status(0) << 16;
        QTest::newRow("sent") << icons::Status(1) << 16;
        QTest::newRow("delivered") << icons::Status(2) << 16;
        QTest::newRow("opened") << icons::Status(3) << 16;
    }

    void everyPictureDraws() {
        QFETCH(QIcon, icon);
        QFETCH(int, side);
        QVERIFY(!icon.isNull());
        for (const int size : {side, 2 * side}) {
            const QImage image = Picture(icon, size);
            QCOMPARE(image.size(), QSize(size, size));
            QVERIFY2(Coverage(image) > size * size / 8, "the picture is (almost) empty");
        }
    }

    void statusOutsideTheFourHasNoPicture_data() {
        QTest::addColumn<int>("status");
        QTest::newRow("no record") << -1;
        QTest::newRow("past opened") << 4;
    }

    void statusOutsideTheFourHasNoPicture() {
        QFETCH(int, status);
        QVERIFY(icons::Status(status).isNull());
    }

    void picturesThatMeanDifferentThingsLookDifferent() {
        QList<QImage> seen;
        for (int status = 0; status < 4; ++status)
            seen << Picture(icons::Status(status), 16);
        for (int i = 0; i < seen.size(); ++i)
            for (int j = i + 1; j < seen.size(); ++j)
                QVERIFY2(seen[i] != seen[j], qPrintable(QStringLiteral("status %1 and %2").arg(i).arg(j)));
        QVERIFY(Picture(icons::MailState(false), 32) != Picture(icons::MailState(true), 32));
    }

    // A disabled tool button shows the glyph's own greyed picture: grey only, fainter, same outline.
    void disabledToolGlyphsAreGreyAndFaint_data() {
        QTest::addColumn<int>("tool");
        for (const auto tool :
             {icons::Tool::Send, icons::Tool::Delete, icons::Tool::Exit, icons::Tool::Network,
              icons::Tool::SendBox, icons::Tool::ReadBox, icons::Tool::Compose})
            QTest::newRow(qPrintable(QString::number(int(tool)))) << int(tool);
    }

    void disabledToolGlyphsAreGreyAndFaint() {
        QFETCH(int, tool);
        const QIcon icon = icons::ToolGlyph(icons::Tool(tool));
        for (const int side : {16, 32}) {
            const QImage normal = Picture(icon, side);
            const QImage disabled = Picture(icon, side, QIcon::Disabled);
            QCOMPARE(disabled.size(), normal.size());
            bool colouredBefore = false;
            for (int y = 0; y < side; ++y) {
                for (int x = 0; x < side; ++x) {
                    const QRgb before = normal.pixel(x, y);
                    const QRgb after = disabled.pixel(x, y);
                    colouredBefore |= qAlpha(before) > 0 &&
                                      (qRed(before) != qGreen(before) || qGreen(before) != qBlue(before));
                    QVERIFY(qAbs(qRed(after) - qGreen(after)) <= 1 &&
                            qAbs(qGreen(after) - qBlue(after)) <= 1);
                    QVERIFY(qAlpha(after) <= qAlpha(before));
                    if (qAlpha(before) > 32)
                        QVERIFY(qAlpha(after) > 0);
                    if (qAlpha(before) == 0)
                        QCOMPARE(qAlpha(after), 0);
                }
            }
            QVERIFY2(colouredBefore, "the enabled glyph has no colour");
        }
    }
};

QTEST_MAIN(IconsTest)
#include "icons_test.moc"
