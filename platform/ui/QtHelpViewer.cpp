#include "QtHelpViewer.h"

#include "Prompts.h"
#include "Services.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QScreen>
#include <QShortcut>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace zk {

QString helpTopicHtml(const HelpTopic &topic)
{
    QString html = QStringLiteral("<h3>") + topic.title.toHtmlEscaped() + QStringLiteral("</h3>");
    for (const QString &p : topic.paragraphs)
        html += QStringLiteral("<p>") + p.toHtmlEscaped() + QStringLiteral("</p>");
    return html;
}

QString helpContentsHtml(const HelpFile &file)
{
    QString html = helpTopicHtml(file.contents()) + QStringLiteral("<ul>");
    for (const HelpTopic &t : file.topics())
        html += QStringLiteral("<li><a href=\"topic:%1\">%2</a></li>")
                    .arg(t.contexts.first())
                    .arg(t.title.toHtmlEscaped());
    return html + QStringLiteral("</ul>");
}

QtHelpViewer::~QtHelpViewer()
{
    delete m_window.data();
    delete m_popup.data();
}

void QtHelpViewer::setHelpFile(const QString &path)
{
    m_path = path;
    m_file.reset();
}

const HelpFile *QtHelpViewer::file(QWidget *parent)
{
    QString why;
    if (!m_file)
        m_file = HelpFile::load(m_path, &why);
    if (!m_file) {
        services().prompts->message(MB_ICONERROR, QStringLiteral("BŁĄD!"),
                                    QStringLiteral("Nie można otworzyć pliku pomocy \"%1\": %2!").arg(m_path, why),
                                    parent);
        return nullptr;
    }
    return &*m_file;
}

void QtHelpViewer::ensureWindow()
{
    if (m_window)
        return;
    m_window = new QWidget(nullptr, Qt::Window);
    m_window->setObjectName(QStringLiteral("HelpWindow"));
    m_window->setAttribute(Qt::WA_DeleteOnClose, false);
    m_window->setAttribute(Qt::WA_QuitOnClose, false); // the program ends with its main window
    m_window->setWindowTitle(QStringLiteral("Pomoc - Zentarek Light"));
    m_window->resize(520, 440);
    auto *layout = new QVBoxLayout(m_window);
    layout->setContentsMargins(0, 0, 0, 0);
    m_browser = new QTextBrowser(m_window);
    m_browser->setObjectName(QStringLiteral("HelpBrowser"));
    m_browser->setOpenLinks(false);
    layout->addWidget(m_browser);
    auto *close = new QShortcut(QKeySequence(Qt::Key_Escape), m_window);
    QObject::connect(close, &QShortcut::activated, m_window.data(), &QWidget::close);
    QObject::connect(m_browser.data(), &QTextBrowser::anchorClicked, m_browser.data(), [this](const QUrl &url) {
        if (!m_file)
            return;
        if (url.scheme() == QStringLiteral("topic")) {
            if (const HelpTopic *t = m_file->topic(url.path().toInt()))
                m_browser->setHtml(helpTopicHtml(*t) + QStringLiteral("<p><a href=\"contents:\">Spis treści</a></p>"));
        } else if (url.scheme() == QStringLiteral("contents")) {
            m_browser->setHtml(helpContentsHtml(*m_file));
        }
    });
}

QRect helpWindowPlace(const QRect &owner, const QSize &size, const QRect &screen)
{
    const int gap = 8;
    const int top = qBound(screen.top(), owner.top(), qMax(screen.top(), screen.bottom() + 1 - size.height()));
    QRect place(QPoint(owner.right() + 1 + gap, top), size);
    if (place.right() > screen.right())
        place.moveRight(owner.left() - 1 - gap);
    if (place.left() < screen.left()) {
        place.moveCenter(owner.center());
        place.moveTop(top);
    }
    place.moveLeft(qBound(screen.left(), place.left(), qMax(screen.left(), screen.right() + 1 - size.width())));
    return place;
}

void QtHelpViewer::placeBeside(const QWidget *parent)
{
    if (m_placed || !parent)
        return;
    const QWidget *owner = parent->window();
    const QScreen *screen = owner->screen();
    if (!screen)
        return;
    const QRect place = helpWindowPlace(owner->frameGeometry(), m_window->frameGeometry().size(), screen->availableGeometry());
    m_window->move(place.topLeft());
    m_placed = true;
}

void QtHelpViewer::showContents(QWidget *parent)
{
    const HelpFile *f = file(parent);
    if (!f)
        return;
    ensureWindow();
    m_browser->setHtml(helpContentsHtml(*f));
    placeBeside(parent);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void QtHelpViewer::showTopic(int context, const QPoint &globalPos, QWidget *parent)
{
    const HelpFile *f = file(parent);
    if (!f)
        return;
    const HelpTopic *topic = f->topic(context);
    const QString html = topic ? helpTopicHtml(*topic)
                               : QStringLiteral("<p>Brak opisu tego elementu w pliku pomocy (temat %1).</p>").arg(context);
    delete m_popup.data();
    auto *popup = new QFrame(parent, Qt::Popup);
    popup->setObjectName(QStringLiteral("HelpPopup"));
    popup->setAttribute(Qt::WA_DeleteOnClose);
    popup->setFrameStyle(QFrame::Box | QFrame::Plain);
    popup->setStyleSheet(QStringLiteral("QFrame#HelpPopup { background: #ffffe1; }"));
    auto *layout = new QVBoxLayout(popup);
    auto *label = new QLabel(html, popup);
    label->setObjectName(QStringLiteral("HelpPopupText"));
    label->setWordWrap(true);
    label->setTextFormat(Qt::RichText);
    label->setFixedWidth(340);
    layout->addWidget(label);
    popup->adjustSize();
    QPoint pos = globalPos;
    if (const QScreen *screen = QApplication::screenAt(globalPos)) {
        const QRect area = screen->availableGeometry();
        pos.setX(std::min(pos.x(), area.right() - popup->width()));
        pos.setY(std::min(pos.y(), area.bottom() - popup->height()));
    }
    popup->move(pos);
    popup->show();
    m_popup = popup;
}

} // namespace zk
