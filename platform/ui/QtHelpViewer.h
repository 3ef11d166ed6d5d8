#pragma once

#include "HelpFile.h"
#include "HelpViewer.h"

#include <QPointer>
#include <optional>

class QTextBrowser;
class QWidget;

namespace zk {

// The help window (contents and topics, with links between them) and the
// pop-up that shows one topic at a control.
class QtHelpViewer : public HelpViewer {
public:
    ~QtHelpViewer() override;
    void setHelpFile(const QString &path) override;
    void showContents(QWidget *parent) override;
    void showTopic(int context, const QPoint &globalPos, QWidget *parent) override;

private:
    const HelpFile *file(QWidget *parent);
    void ensureWindow();
    void placeBeside(const QWidget *parent);

    QString m_path;
    std::optional<HelpFile> m_file;
    QPointer<QWidget> m_window;
    QPointer<QTextBrowser> m_browser;
    QPointer<QWidget> m_popup;
    bool m_placed = false; // once the user has it, it stays where they put it
};

// Where the help window first goes: right of the program's window when it
// fits on that screen, else left of it, else centred over it; always inside
// the screen's free area.
QRect helpWindowPlace(const QRect &owner, const QSize &size, const QRect &screen);

// Renders topics as HTML for the help window and the pop-ups.
QString helpContentsHtml(const HelpFile &file);
QString helpTopicHtml(const HelpTopic &topic);

} // namespace zk
