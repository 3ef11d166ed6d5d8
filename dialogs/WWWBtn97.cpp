#include "WWWBtn97.h"

#include "Glyphs.h"

#include "Bookmarks.h"
#include "Registry.h"
#include "Services.h"

#include <QDir>
#include <QDirIterator>
#include <QLocale>
#include <QSet>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QShortcutEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QStyle>
#include <QStyleOptionMenuItem>
#include <QStyleOptionToolButton>

namespace zk {

QString favoritesFolder(const Registry &registry)
{
    return registry
        .readString(Hive::CurrentUser, QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"),
                    QStringLiteral("Favorites"))
        .value_or(QString());
}

namespace {

const QString AbsentUrl = QStringLiteral("non trouvé");

// Nothing when the file cannot be opened.
std::optional<QString> shortcutUrl(const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    bool inSection = false;
    for (QString line : QString::fromLocal8Bit(f.readAll()).split(u'\n')) {
        line = line.trimmed();
        if (line.startsWith(u'[')) {
            inSection = line.compare(QStringLiteral("[InternetShortcut]"), Qt::CaseInsensitive) == 0;
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (inSection && eq > 0 && line.left(eq).trimmed().compare(QStringLiteral("URL"), Qt::CaseInsensitive) == 0)
            return line.mid(eq + 1).trimmed();
    }
    return AbsentUrl;
}

} // namespace

QString readShortcutUrl(const QString &file)
{
    return shortcutUrl(file).value_or(AbsentUrl);
}

namespace {

bool isShortcutName(const QString &name)
{
    return name.size() > 4 && name.right(4).toUpper() == u".URL";
}

// While scanning, a shortcut's URL holds its file; only the shortcuts that
// make it into the menu are read.
struct FolderScan {
    QString root;
    QSet<QString> visited; // canonical folders: a loop of links is walked once
    FavouritesScan result;

    void scan(const QString &folder)
    {
        const QString relative = folder == root ? QString() : folder.mid(root.size() + 1).replace(u'/', u'\\');
        QDir dir(folder);
        if (!dir.isReadable()) {
            ++result.unreadable;
            return;
        }
        // The kind of each entry comes with the listing: no file is opened
        // or asked about here, which keeps a folder of 100,000 quick.
        QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        while (it.hasNext()) {
            it.next();
            const QFileInfo e = it.fileInfo();
            const QString name = relative.isEmpty() ? e.fileName() : relative + u'\\' + e.fileName();
            if (e.isFile() && isShortcutName(e.fileName())) {
                result.records.append({relative, e.fileName().chopped(4), e.absoluteFilePath()});
            } else if (e.isDir()) {
                const QString canonical = e.canonicalFilePath();
                if (visited.contains(canonical)) {
                    ++result.loops;
                    continue;
                }
                visited.insert(canonical);
                result.records.append({name, {}, {}});
                scan(e.absoluteFilePath());
            }
        }
    }
};

} // namespace

qsizetype capFavourites(QList<TURLrec> &records, qsizetype max)
{
    const qsizetype omitted = std::max<qsizetype>(0, records.size() - max);
    records.resize(std::min(records.size(), max));
    return omitted;
}

QStringList FavouritesScan::notes() const
{
    const QLocale polish(QLocale::Polish);
    QStringList out;
    if (omitted > 0)
        out << QStringLiteral("Pokazano pierwsze %1 z %2 pozycji ulubionych")
                   .arg(polish.toString(records.size()), polish.toString(records.size() + omitted));
    if (unreadable > 0)
        out << QStringLiteral("Nieczytelne pliki lub foldery ulubionych: %1").arg(polish.toString(unreadable));
    if (loops > 0)
        out << QStringLiteral("Pominięte dowiązania do folderów już odczytanych: %1").arg(polish.toString(loops));
    return out;
}

FavouritesScan scanFavourites(const QString &favoritesPath, qsizetype max)
{
    if (favoritesPath.isEmpty() || !QFileInfo(favoritesPath).isDir())
        return {};
    FolderScan walk;
    walk.root = QDir(favoritesPath).absolutePath();
    walk.visited.insert(QFileInfo(walk.root).canonicalFilePath());
    walk.scan(walk.root);
    FavouritesScan result = std::move(walk.result);
    sortFavourites(result.records);
    result.omitted = capFavourites(result.records, max);
    QList<TURLrec> readable;
    readable.reserve(result.records.size());
    for (TURLrec &r : result.records) {
        if (!r.Name.isEmpty()) {
            const std::optional<QString> url = shortcutUrl(r.URL);
            if (!url) {
                ++result.unreadable; // an item without its address would put a wrong one in the page
                continue;
            }
            r.URL = *url;
        }
        readable.append(std::move(r));
    }
    result.records = std::move(readable);
    return result;
}

QList<TURLrec> scanFavorites(const QString &favoritesPath)
{
    return scanFavourites(favoritesPath).records;
}

namespace {

// A name shows its "&" as typed, not as a shortcut underline.
QString menuCaption(const QString &name)
{
    return QString(name).replace(u'&', QStringLiteral("&&"));
}

} // namespace

void buildFavoritesMenu(QMenu *menu, const QList<TURLrec> &records, const QPixmap &folderIcon, const QPixmap &urlIcon,
                        const QStringList &notes)
{
    QHash<QString, QMenu *> submenus;
    for (qsizetype i = 0; i < records.size();) {
        const QString folder = records[i].Folder;
        qsizetype end = i;
        while (end < records.size() && records[end].Folder == folder)
            ++end;
        if (!folder.isEmpty()) {
            const qsizetype cut = folder.lastIndexOf(u'\\');
            QMenu *parent = cut < 0 ? menu : submenus.value(folder.left(cut), menu);
            auto *sub = new QMenu(menuCaption(cut < 0 ? folder : folder.mid(cut + 1)), parent);
            sub->setIcon(QIcon(folderIcon));
            sub->menuAction()->setProperty("favouriteFolder", true);
            if (cut < 0 || parent == menu)
                parent->addMenu(sub);
            else
                parent->insertMenu(parent->actions().value(0), sub); // nested folders go to the top
            submenus.insert(folder, sub);
            bool anyShortcut = false;
            for (qsizetype r = i; r < end; ++r) {
                if (records[r].Name.isEmpty())
                    continue;
                // The record's place identifies the choice: two folders may hold one name.
                sub->addAction(QIcon(urlIcon), menuCaption(records[r].Name))->setData(int(r));
                anyShortcut = true;
            }
            if (!anyShortcut)
                sub->addAction(QStringLiteral("( Empty )"))->setEnabled(false);
        }
        i = end;
    }
    for (qsizetype r = 0; r < records.size(); ++r)
        if (records[r].Folder.isEmpty() && !records[r].Name.isEmpty())
            menu->addAction(QIcon(urlIcon), menuCaption(records[r].Name))->setData(int(r));
    if (!notes.isEmpty())
        menu->addSeparator();
    for (const QString &note : notes) // what the menu could not show, where the user looks
        menu->addAction(menuCaption(note))->setEnabled(false);
}

// Draws the favourites menu's items as the extended menu style asks: the
// item's own colours, frame and font, a 16 x 16 icon 2 pixels from the
// left edge and the caption after the wider icon. Disabled items ("( Empty )")
// are left to the platform's own drawing.
class FavouritesMenuStyle : public QProxyStyle {
public:
    FavouritesMenuStyle(const TMenuOption &options, int itemHeight) : m_o(options), m_itemHeight(itemHeight) {}

    QSize sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &size, const QWidget *widget) const override
    {
        const auto *item = qstyleoption_cast<const QStyleOptionMenuItem *>(option);
        if (type != CT_MenuItem || !item || !(item->state & State_Enabled) || item->menuItemType == QStyleOptionMenuItem::Separator)
            return QProxyStyle::sizeFromContents(type, option, size, widget);
        int widest = 0;
        if (const auto *menu = qobject_cast<const QMenu *>(widget))
            for (const QAction *a : menu->actions())
                widest = std::max(widest, QFontMetrics(m_o.FontItem).horizontalAdvance(a->text()));
        return {widest + pixelMetric(PM_IndicatorWidth, option, widget) + 20 + captionLeft(), m_itemHeight + 2};
    }

    void drawControl(ControlElement element, const QStyleOption *option, QPainter *p, const QWidget *widget) const override
    {
        const auto *item = qstyleoption_cast<const QStyleOptionMenuItem *>(option);
        if (element != CE_MenuItem || !item || !(item->state & State_Enabled)) {
            QProxyStyle::drawControl(element, option, p, widget);
            return;
        }
        const bool selected = item->state & State_Selected;
        const QRect r = item->rect;
        p->fillRect(r, selected ? m_o.ItemSelectColor : m_o.ItemUnselectColor);
        if (selected && m_o.ItemBorderStyle != TMenuOption::bsNone) {
            const QColor light = m_o.ItemBorderStyle == TMenuOption::bsRaised ? QColor(128, 128, 128) : QColor(Qt::white);
            const QColor dark = m_o.ItemBorderStyle == TMenuOption::bsRaised ? QColor(Qt::white) : QColor(128, 128, 128);
            p->setPen(light);
            p->drawLine(r.topLeft(), r.topRight());
            p->drawLine(r.topLeft(), r.bottomLeft());
            p->setPen(dark);
            p->drawLine(r.bottomLeft(), r.bottomRight());
            p->drawLine(r.topRight(), r.bottomRight());
        }
        const bool folder = item->menuItemType == QStyleOptionMenuItem::SubMenu;
        const QPixmap &icon = folder ? m_o.ItemBmpFolder : m_o.ItemBmpURL;
        if (!icon.isNull() && (folder || selected || m_o.URLBitmapDisplay == TMenuOption::All_icon))
            p->drawPixmap(QRect(r.left() + 2, r.top() + (r.height() - 16) / 2, 16, 16), transparentByCorner(icon));
        p->setFont(m_o.FontItem);
        p->setPen(selected ? m_o.FontColorSelect : m_o.FontItemColor);
        p->drawText(r.adjusted(captionLeft(), 0, 0, 0), Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextShowMnemonic, item->text);
        if (folder) {
            QStyleOption arrow = *option;
            arrow.rect = QRect(r.right() - 12, r.top(), 10, r.height());
            QProxyStyle::drawPrimitive(PE_IndicatorArrowRight, &arrow, p, widget);
        }
    }

private:
    int captionLeft() const
    {
        const int widest = std::max(m_o.ItemBmpFolder.width(), m_o.ItemBmpURL.width());
        return widest == 0 ? 20 : widest + 5;
    }
    // The icon's top-left pixel names its transparent colour.
    static QPixmap transparentByCorner(const QPixmap &icon)
    {
        QPixmap out = icon;
        const QColor corner = icon.toImage().pixelColor(0, 0);
        out.setMask(icon.createMaskFromColor(corner, Qt::MaskInColor));
        return out;
    }

    const TMenuOption &m_o;
    int m_itemHeight;
};

int TWWWBtn97::itemHeight() const
{
    const QFontInfo info(MenuOptions.FontItem);
    return std::max({MenuOptions.ItemBmpFolder.height(), MenuOptions.ItemBmpURL.height(),
                     info.pointSize() + info.pixelSize() - 3});
}

TWWWBtn97::TWWWBtn97(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_Hover);
    setFocusPolicy(Qt::StrongFocus); // keyboard users open the menu too
    resize(32, 22);
    MenuOptions.FontItem = font();
    MenuOptions.ItemSelectColor = palette().color(QPalette::Highlight);
    MenuOptions.ItemUnselectColor = palette().color(QPalette::Button);
    m_menu = new QMenu(this);
    loadFavorites();
}

TWWWBtn97::~TWWWBtn97() = default;

void TWWWBtn97::rebuildMenu()
{
    delete m_menu;
    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("FavouritesMenu"));
    buildFavoritesMenu(m_menu, URLList, QPixmap(), QPixmap(), m_notes); // the extended style draws the icons itself
    m_extended = false;
    connect(m_menu, &QMenu::triggered, this, [this](QAction *a) {
        if (a->data().isValid())
            chooseRecord(int(a->data().toInt()));
    });
}

void TWWWBtn97::loadFavorites()
{
    FavoritesPath.clear();
    URLList.clear();
    if (const Registry *r = services().registry)
        FavoritesPath = favoritesFolder(*r);
    FavouritesScan scan;
    if (!FavoritesPath.isEmpty()) {
        scan = scanFavourites(FavoritesPath);
    } else {
        // No Favorites folder (the usual case on Linux): the browser's bookmarks.
        const BrowserBookmarks browser = findBrowserBookmarks(QDir::homePath());
        FavoritesPath = browser.file;
        scan.records = readBrowserBookmarks(browser);
        scan.omitted = capFavourites(scan.records, MaxFavourites);
    }
    URLList = scan.records;
    m_notes = scan.notes();
    if (FavoritesPath.isEmpty())
        return;
    rebuildMenu(); // an empty list empties the menu: no item may point into a list that is gone
}

void TWWWBtn97::reload()
{
    if (FavoritesPath.isEmpty() || URLList.isEmpty())
        return; // a button that found nothing at the start does not look again
    loadFavorites();
}

void TWWWBtn97::chooseRecord(int index)
{
    if (index < 0 || index >= URLList.size() || URLList[index].Name.isEmpty())
        return;
    URLName = URLList[index].Name;
    URLPath = URLList[index].URL;
    emit OnSelectURL(this);
}

void TWWWBtn97::chooseItem(const QString &caption)
{
    for (const TURLrec &r : URLList) {
        if (!r.Name.isEmpty() && r.Name == caption) {
            URLName = r.Name;
            URLPath = r.URL;
            emit OnSelectURL(this);
            return;
        }
    }
}

void TWWWBtn97::switchToExtended()
{
    if (MenuOptions.MenuStyle != TMenuOption::Extended || m_extended)
        return;
    m_style = std::make_unique<FavouritesMenuStyle>(MenuOptions, itemHeight());
    const std::function<void(QMenu *)> apply = [&](QMenu *m) {
        m->setStyle(m_style.get());
        for (QAction *a : m->actions())
            if (a->menu())
                apply(a->menu());
    };
    apply(m_menu);
    m_extended = true;
}

void TWWWBtn97::openMenu()
{
    switchToExtended();
    m_menu->exec(mapToGlobal(QPoint(width() - ArrowZone, height())));
    if (!rect().contains(mapFromGlobal(QCursor::pos())))
        m_hover = false;
    update();
}

void TWWWBtn97::enterEvent(QEnterEvent *)
{
    if (isEnabled()) {
        m_hover = true;
        update();
    }
}

void TWWWBtn97::leaveEvent(QEvent *)
{
    m_hover = false;
    update();
}

void TWWWBtn97::mousePressEvent(QMouseEvent *event)
{
    if (!isEnabled() || event->button() != Qt::LeftButton)
        return;
    m_pressed = true;
    m_pressedMain = event->position().x() < width() - ArrowZone;
    update();
}

void TWWWBtn97::mouseReleaseEvent(QMouseEvent *event)
{
    if (!isEnabled() || event->button() != Qt::LeftButton || !m_pressed)
        return;
    m_pressed = false;
    update();
    if (m_pressedMain)
        reload();
    else if (rect().contains(event->position().toPoint()))
        openMenu();
}

// Space, Alt+Down and F4 open the menu, as on a drop-down button.
void TWWWBtn97::keyPressEvent(QKeyEvent *event)
{
    const bool opens = (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier)
                       || (event->key() == Qt::Key_Down && event->modifiers() == Qt::AltModifier)
                       || (event->key() == Qt::Key_F4 && event->modifiers() == Qt::NoModifier);
    if (!opens || !isEnabled()) {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    openMenu();
}

// The caption is a public field set after construction: its Alt+letter is
// taken when the button is shown.
void TWWWBtn97::grabCaptionMnemonic()
{
    if (m_mnemonicCaption == Caption)
        return;
    if (m_mnemonic)
        releaseShortcut(m_mnemonic);
    m_mnemonicCaption = Caption;
    const QKeySequence key = QKeySequence::mnemonic(Caption);
    m_mnemonic = key.isEmpty() ? 0 : grabShortcut(key);
}

bool TWWWBtn97::event(QEvent *event)
{
    if (event->type() == QEvent::Show)
        grabCaptionMnemonic();
    if (event->type() == QEvent::Shortcut && static_cast<QShortcutEvent *>(event)->shortcutId() == m_mnemonic) {
        if (isEnabled()) {
            setFocus(Qt::ShortcutFocusReason);
            openMenu();
        }
        return true;
    }
    return QWidget::event(event);
}

// 100 x 26 at the program's own font; more when the caption needs it.
QSize TWWWBtn97::sizeHint() const
{
    const QString caption = shownCaption(Caption);
    const int glyph = GlyphButton.isNull() ? 0 : GlyphButton.width() + 4;
    return QSize(fontMetrics().horizontalAdvance(caption) + glyph + ArrowZone + 16, fontMetrics().height() + 10)
        .expandedTo(QSize(100, 26));
}

void TWWWBtn97::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    QStyleOptionToolButton o;
    o.initFrom(this);
    o.rect = rect();
    o.text = Caption;
    o.icon = QIcon(GlyphButton);
    o.iconSize = GlyphButton.isNull() ? QSize() : GlyphButton.size();
    o.toolButtonStyle = GlyphButton.isNull() ? Qt::ToolButtonTextOnly : Qt::ToolButtonTextBesideIcon;
    o.state |= QStyle::State_AutoRaise;
    // The arrow is drawn once, below; the style would add its own menu arrow over the caption.
    o.subControls = QStyle::SC_ToolButton;
    o.features = QStyleOptionToolButton::None;
    if (m_hover && isEnabled())
        o.state |= QStyle::State_MouseOver | QStyle::State_Raised;
    if (m_pressed)
        o.state |= QStyle::State_Sunken;
    style()->drawComplexControl(QStyle::CC_ToolButton, &o, &p, this);
    QStyleOption arrow;
    arrow.initFrom(this);
    arrow.rect = QRect(width() - ArrowZone, 0, ArrowZone, height());
    style()->drawPrimitive(QStyle::PE_IndicatorArrowDown, &arrow, &p, this);
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect().adjusted(3, 3, -3 - ArrowZone, -3);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, this);
    }
}

} // namespace zk
