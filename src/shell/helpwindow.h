#pragma once

#include <QWidget>

class QTextBrowser;

namespace varnel {

// The program's own help viewer: shows the contents page of the Japanese help text built into the
// program.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);
    QTextBrowser* Browser() const { return m_browser; }
    void ShowContents();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QTextBrowser* m_browser = nullptr;
};

} // namespace varnel
