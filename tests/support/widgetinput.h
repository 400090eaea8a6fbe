#pragma once

#include <QString>
#include <QTest>
#include <QTreeWidget>

namespace varnel {

// Types text as key events, Japanese included (QTest::keyClicks knows only ASCII keys).
inline void Type(QWidget* widget, const QString& text) {
    for (const QChar ch : text) {
        QTest::sendKeyEvent(QTest::Press, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }
}

// Double-clicks a node of a tree as a person does: a click that makes it current, then the double
// click (item views take a double click only on the node the press was on).
inline void DoubleClickNode(QTreeWidget* tree, QTreeWidgetItem* node) {
    QVERIFY(node);
    tree->expandAll();
    tree->doItemsLayout();
    tree->scrollToItem(node);
    const QRect rect = tree->visualItemRect(node);
    QVERIFY(rect.isValid());
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, rect.center());
}

} // namespace varnel
