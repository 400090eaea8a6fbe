#pragma once

#include "named.h"

#include <QApplication>
#include <QLineEdit>
#include <QString>
#include <QTest>
#include <QTimer>
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

// Answers the title dialog, once it opens, with the title typed and Enter.
inline void AnswerTitle(const QString& title) {
    QTimer::singleShot(0, [title] {
        QWidget* dialog = QApplication::activeModalWidget();
        QVERIFY(dialog && dialog->objectName() == QLatin1String("Frm_Title"));
        Type(Named<QLineEdit>(*dialog, "Ed_Title"), title);
        QTest::keyClick(Named<QLineEdit>(*dialog, "Ed_Title"), Qt::Key_Return);
    });
}

// The one node of a tree with the given text, or null.
inline QTreeWidgetItem* Node(const QTreeWidget* tree, const QString& text) {
    const QList<QTreeWidgetItem*> found = tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    return found.size() == 1 ? found[0] : nullptr;
}

} // namespace varnel
