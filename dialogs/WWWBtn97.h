#pragma once

#include <QFont>
#include <QList>
#include <QPixmap>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <memory>

class QMenu;

namespace zk {

class Registry;

// One favourites entry: a folder (Name and URL empty) or a shortcut.
struct TURLrec {
    QString Folder; // relative to the Favorites folder, parts joined by "\"
    QString Name;
    QString URL;
    bool operator==(const TURLrec &) const = default;
};

// More would make a menu nobody can use, and reading them all a slow start.
inline constexpr qsizetype MaxFavourites = 2000;

struct FavouritesScan {
    QList<TURLrec> records;
    qsizetype omitted = 0;    // left out beyond MaxFavourites
    qsizetype unreadable = 0; // folders and shortcut files that cannot be read
    qsizetype loops = 0;      // links to a folder already walked
    // What the menu says about the entries it does not show, in Polish.
    QStringList notes() const;
};

// Every folder and Internet shortcut (".URL") under `favoritesPath`,
// sorted by folder, then name, byte by byte in Windows-1250; links to
// folders are followed once; only the first `max` entries are kept.
FavouritesScan scanFavourites(const QString &favoritesPath, qsizetype max = MaxFavourites);
QList<TURLrec> scanFavorites(const QString &favoritesPath);
// Keeps the first `max` records; says how many went.
qsizetype capFavourites(QList<TURLrec> &records, qsizetype max);
// The "URL" of the "[InternetShortcut]" section, "non trouvé" when absent.
QString readShortcutUrl(const QString &file);
// Folders become submenus (nested ones at the top of their parent), empty
// folders get a disabled "( Empty )", top-level shortcuts come last, then
// the notes as disabled items.
void buildFavoritesMenu(QMenu *menu, const QList<TURLrec> &records, const QPixmap &folderIcon, const QPixmap &urlIcon,
                        const QStringList &notes = {});

class FavouritesMenuStyle;

struct TMenuOption {
    QFont FontItem;
    QColor FontItemColor = QColor(0, 0, 128); // the caption colour (navy unless set)
    QColor FontColorSelect = Qt::black;
    QPixmap ItemBmpFolder;
    QPixmap ItemBmpURL;
    QColor ItemSelectColor;
    QColor ItemUnselectColor;
    enum { Standard, Extended } MenuStyle = Extended;
    enum { Only_one_icon, All_icon } URLBitmapDisplay = Only_one_icon;
    enum { bsNone, bsRaised, bsLowered } ItemBorderStyle = bsNone;
};

// A flat toolbar-style button whose arrow zone (9 pixels at the right)
// drops down the user's browser favourites; its main zone reloads them.
class TWWWBtn97 : public QWidget {
    Q_OBJECT
public:
    static constexpr int ArrowZone = 9;

    explicit TWWWBtn97(QWidget *parent = nullptr);
    ~TWWWBtn97() override;

    QString Caption;
    QPixmap GlyphButton;
    TMenuOption MenuOptions;
    QString URLName;
    QString URLPath;
    QString FavoritesPath;
    QList<TURLrec> URLList;

    QMenu *menu() const { return m_menu; }
    void loadFavorites();
    void reload();
    void openMenu();
    // Before the first showing after each build: the items get the extended look.
    void switchToExtended();
    int itemHeight() const;
    // The user chose the item with this caption (the first of that name).
    void chooseItem(const QString &caption);
    // The user chose the menu item of URLList[index]; the menu uses this.
    void chooseRecord(int index);

    QSize sizeHint() const override;

signals:
    void OnSelectURL(QObject *sender);

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool event(QEvent *event) override;

private:
    void grabCaptionMnemonic();

    void rebuildMenu();

    QMenu *m_menu = nullptr;
    std::unique_ptr<FavouritesMenuStyle> m_style;
    bool m_extended = false;
    QStringList m_notes;
    bool m_hover = false;
    bool m_pressed = false;
    bool m_pressedMain = false;
    int m_mnemonic = 0; // the shortcut id of the caption's Alt+letter
    QString m_mnemonicCaption;
};

// The per-user Favorites folder the registry names, "" when it names none.
QString favoritesFolder(const Registry &registry);

} // namespace zk
