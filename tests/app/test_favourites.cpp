#include "Eventually.h"
#include "Bookmarks.h"
#include "Isolated.h"
#include "Odnosnik.h"
#include "OpenFileDialog.h"
#include "WWWBtn97.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QApplication>
#include <QImage>
#include <QTest>
#include <QTimer>
#include <QPainter>

#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace zk;
using zk::testing::Isolated;

namespace {

class FavouritesTest : public Isolated {
protected:
    void SetUp() override
    {
        Isolated::SetUp();
        favourites = folder(QStringLiteral("Ulubione"));
        registry->writeString(Hive::CurrentUser, QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"),
                              QStringLiteral("Favorites"), favourites.chopped(1));
    }
    void shortcut(const QString &relative, const QString &url)
    {
        QDir().mkpath(QFileInfo(favourites + relative).absolutePath());
        writeFile(favourites + relative, url.isEmpty() ? QByteArray("[Other]\r\nX=1\r\n")
                                                       : ("[InternetShortcut]\r\nURL=" + url.toUtf8() + "\r\n"));
    }
    static QStringList captions(const QMenu *menu)
    {
        QStringList out;
        for (const QAction *a : menu->actions())
            out << (a->menu() ? QStringLiteral("[") + a->text() + u']' : a->text()) + (a->isEnabled() ? QString() : QStringLiteral(" (off)"));
        return out;
    }
    static QMenu *submenu(const QMenu *menu, const QString &caption)
    {
        for (const QAction *a : menu->actions())
            if (a->menu() && a->text() == caption)
                return a->menu();
        return nullptr;
    }
    QString favourites;
};

TEST_F(FavouritesTest, MenuOrderFoldersFirstThenShortcutsByteWise)
{
    shortcut(QStringLiteral("b.url"), QStringLiteral("http://b.pl/"));
    shortcut(QStringLiteral("A.URL"), QStringLiteral("http://a.pl/"));
    shortcut(QStringLiteral("News/x.url"), QStringLiteral("http://x.pl/"));
    QDir().mkpath(favourites + QStringLiteral("Puste"));
    shortcut(QStringLiteral("Sport/Pilka/gol.url"), QStringLiteral("http://gol.pl/"));
    QDir().mkpath(favourites + QStringLiteral("Sport/Kosz"));
    shortcut(QStringLiteral("zly.url"), QString());
    TWWWBtn97 button;
    EXPECT_EQ(button.FavoritesPath, favourites.chopped(1));
    EXPECT_EQ(captions(button.menu()), (QStringList{QStringLiteral("[News]"), QStringLiteral("[Puste]"), QStringLiteral("[Sport]"),
                                                   QStringLiteral("A"), QStringLiteral("b"), QStringLiteral("zly")}));
    EXPECT_EQ(captions(submenu(button.menu(), QStringLiteral("News"))), QStringList{QStringLiteral("x")});
    EXPECT_EQ(captions(submenu(button.menu(), QStringLiteral("Puste"))), QStringList{QStringLiteral("( Empty ) (off)")});
    EXPECT_EQ(captions(submenu(button.menu(), QStringLiteral("Sport"))),
              (QStringList{QStringLiteral("[Pilka]"), QStringLiteral("[Kosz]"), QStringLiteral("( Empty ) (off)")}))
        << "subfolders at the top, the later-sorting one first; the empty marker below them";
    QSignalSpy chosen(&button, &TWWWBtn97::OnSelectURL);
    button.chooseItem(QStringLiteral("zly"));
    EXPECT_EQ(button.URLPath, QStringLiteral("non trouvé"));
    button.chooseItem(QStringLiteral("x"));
    EXPECT_EQ(button.URLName, QStringLiteral("x"));
    EXPECT_EQ(button.URLPath, QStringLiteral("http://x.pl/"));
    EXPECT_EQ(chosen.count(), 2);
}

TEST_F(FavouritesTest, TheItemChosenNotItsNameDecidesAndNamesSortInWindows1250)
{
    shortcut(QStringLiteral("News/Onet.url"), QStringLiteral("http://wiadomosci.onet.pl/"));
    shortcut(QStringLiteral("Onet.url"), QStringLiteral("http://www.onet.pl/"));
    for (const char *name : {"ąbc", "Łódź", "Śląsk", "zebra", "Zebra", "Kowalski & Syn"})
        shortcut(QString::fromUtf8(name) + QStringLiteral(".url"), QStringLiteral("http://x/"));
    TWWWBtn97 button;
    QMenu *news = submenu(button.menu(), QStringLiteral("News"));
    ASSERT_NE(news, nullptr);
    news->actions().first()->trigger();
    EXPECT_EQ(button.URLPath, QStringLiteral("http://wiadomosci.onet.pl/")) << "News › Onet, not the top-level Onet";
    // Windows-1250: capitals (A-Z), then small letters, then Ł (A3), Ś (8C)... by byte: 8C Ś < A3 Ł < B9 ą.
    EXPECT_EQ(captions(button.menu()),
              (QStringList{QStringLiteral("[News]"), QStringLiteral("Kowalski && Syn"), QStringLiteral("Onet"),
                           QStringLiteral("Zebra"), QStringLiteral("zebra"), QStringLiteral("Śląsk"), QStringLiteral("Łódź"),
                           QStringLiteral("ąbc")}));
    const QAction *kowalski = button.menu()->actions().at(1);
    EXPECT_EQ(kowalski->iconText(), QStringLiteral("Kowalski & Syn")) << "the \"&\" is shown, not an underline";
    button.menu()->actions().at(1)->trigger();
    EXPECT_EQ(button.URLName, QStringLiteral("Kowalski & Syn"));

    QDir(favourites).removeRecursively();
    QDir().mkpath(favourites);
    button.reload();
    EXPECT_TRUE(button.menu()->actions().isEmpty()) << "a reload that finds nothing empties the menu";
}

// The button draws one arrow, at its right edge; the style's own menu arrow
// once showed over the caption as well.
TEST_F(FavouritesTest, TheButtonDrawsOneArrowAtItsRightEdgeAndNothingOverItsCaption)
{
    TWWWBtn97 button;
    button.Caption.clear();
    button.resize(90, 24);
    const QImage drawn = button.grab().toImage();
    const QColor background = drawn.pixelColor(1, 1);
    int marked = 0;
    for (int x = 0; x < button.width() - TWWWBtn97::ArrowZone; ++x)
        for (int y = 0; y < button.height(); ++y)
            marked += drawn.pixelColor(x, y) != background;
    EXPECT_EQ(marked, 0) << "with no caption nothing is drawn left of the arrow";
    int arrow = 0;
    for (int x = button.width() - TWWWBtn97::ArrowZone; x < button.width(); ++x)
        for (int y = 0; y < button.height(); ++y)
            arrow += drawn.pixelColor(x, y) != background;
    EXPECT_GT(arrow, 4) << "the arrow itself is there";
}

TEST_F(FavouritesTest, NoFavouritesFolderGivesAnEmptyMenu)
{
    registry->deleteKey(Hive::CurrentUser, QStringLiteral("Software\\Microsoft"));
    TWWWBtn97 button;
    EXPECT_TRUE(button.FavoritesPath.isEmpty());
    EXPECT_TRUE(button.menu()->actions().isEmpty());
}

TEST_F(FavouritesTest, AHundredThousandShortcutsGiveAMenuOfTheFirstTwoThousandAndSaySo)
{
    for (int i = 0; i < 100000; ++i) {
        QFile f(favourites + QStringLiteral("s%1.url").arg(i, 6, 10, QChar(u'0')));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[InternetShortcut]\r\nURL=http://x.pl/" + QByteArray::number(i) + "\r\n");
    }
    TWWWBtn97 button;
    const QList<QAction *> items = button.menu()->actions();
    ASSERT_EQ(items.size(), int(MaxFavourites) + 2) << "the shortcuts, a separator and one note";
    EXPECT_EQ(items.first()->text(), QStringLiteral("s000000"));
    EXPECT_EQ(items.at(int(MaxFavourites) - 1)->text(), QStringLiteral("s001999"));
    EXPECT_TRUE(items.at(int(MaxFavourites))->isSeparator());
    const QString note = items.last()->text().replace(QChar(0xA0), u' ');
    EXPECT_EQ(note, QStringLiteral("Pokazano pierwsze 2000 z 100 000 pozycji ulubionych"));
    EXPECT_FALSE(items.last()->isEnabled());
    items.at(1999)->trigger();
    EXPECT_EQ(button.URLPath, QStringLiteral("http://x.pl/1999")) << "the shortcuts shown are read";
}

TEST_F(FavouritesTest, ALoopOfLinkedFoldersIsWalkedOnceAndSaid)
{
    shortcut(QStringLiteral("Petla/a.url"), QStringLiteral("http://a.pl/"));
    ASSERT_TRUE(QFile::link(favourites + QStringLiteral("Petla"), favourites + QStringLiteral("Petla/znowu")));
    shortcut(QStringLiteral("Gdzie indziej/b.url"), QStringLiteral("http://b.pl/"));
    const QString outside = folder(QStringLiteral("poza"));
    writeFile(outside + QStringLiteral("c.url"), "[InternetShortcut]\r\nURL=http://c.pl/\r\n");
    ASSERT_TRUE(QFile::link(outside, favourites + QStringLiteral("Dowiazany")));

    const FavouritesScan scan = scanFavourites(favourites);
    EXPECT_EQ(scan.records, (QList<TURLrec>{{QStringLiteral("Dowiazany"), {}, {}},
                                            {QStringLiteral("Dowiazany"), QStringLiteral("c"), QStringLiteral("http://c.pl/")},
                                            {QStringLiteral("Gdzie indziej"), {}, {}},
                                            {QStringLiteral("Gdzie indziej"), QStringLiteral("b"), QStringLiteral("http://b.pl/")},
                                            {QStringLiteral("Petla"), {}, {}},
                                            {QStringLiteral("Petla"), QStringLiteral("a"), QStringLiteral("http://a.pl/")}}))
        << "a linked folder outside is shown; the loop is not followed";
    EXPECT_EQ(scan.loops, 1);
    TWWWBtn97 button;
    EXPECT_EQ(button.menu()->actions().last()->text(), QStringLiteral("Pominięte dowiązania do folderów już odczytanych: 1"));
}

// Root reads every file; the scan is checked as an ordinary user.
TEST_F(FavouritesTest, UnreadableShortcutsAndFoldersAreLeftOutAndCounted)
{
    shortcut(QStringLiteral("dobry.url"), QStringLiteral("http://dobry.pl/"));
    shortcut(QStringLiteral("zamkniety.url"), QStringLiteral("http://tajny.pl/"));
    shortcut(QStringLiteral("Prywatne/x.url"), QStringLiteral("http://x.pl/"));
    QFile::setPermissions(favourites + QStringLiteral("zamkniety.url"), {});
    QFile::setPermissions(favourites + QStringLiteral("Prywatne"), {});
    const auto check = [&] {
        const FavouritesScan scan = scanFavourites(favourites);
        for (const TURLrec &r : scan.records) // seen in the test's output when it fails
            fprintf(stderr, "record [%s] [%s] [%s]\n", qPrintable(r.Folder), qPrintable(r.Name), qPrintable(r.URL));
        fprintf(stderr, "unreadable %d\n", int(scan.unreadable));
        return scan.unreadable == 2
            && scan.records == QList<TURLrec>{{{}, QStringLiteral("dobry"), QStringLiteral("http://dobry.pl/")},
                                              {QStringLiteral("Prywatne"), {}, {}}}
            && scan.notes() == QStringList{QStringLiteral("Nieczytelne pliki lub foldery ulubionych: 2")};
    };
    if (geteuid() != 0) {
        EXPECT_TRUE(check());
        return;
    }
    for (QString p = favourites; p.size() > 1; p = QFileInfo(p).path()) // let "nobody" reach the folder
        chmod(QFile::encodeName(p).constData(), 0755);
    chmod(QFile::encodeName(favourites + QStringLiteral("dobry.url")).constData(), 0644);
    const pid_t child = fork();
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0)
            _exit(2);
        _exit(check() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the scan as an ordinary user was not as expected; 2: could not become one";
}

TEST_F(FavouritesTest, TheLinkDialogTakesAChosenFavouriteEvenWithTheStatusFieldOff)
{
    shortcut(QStringLiteral("Onet.url"), QStringLiteral("http://www.onet.pl/"));
    OpenFileDialog openDoc;
    TOdnosnikDlg dialog(&openDoc);
    dialog.setStatusTextEnabled(false);
    dialog.show();
    ASSERT_NE(dialog.WWW, nullptr);
    // A press and release in the main zone reloads and opens no menu.
    QTest::mouseClick(dialog.WWW, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    dialog.WWW->menu()->actions().first()->trigger();
    EXPECT_EQ(dialog.Edit_Opis->text(), QStringLiteral("Onet"));
    EXPECT_EQ(dialog.Edit_Adres->currentText(), QStringLiteral("http://www.onet.pl/"));
    EXPECT_EQ(dialog.Edit_OnMouse->text(), QStringLiteral("Onet"));
    dialog.hide();
}

TEST_F(FavouritesTest, TheKeyboardOpensTheMenuAndAnArrowAndEnterChooseAFavourite)
{
    shortcut(QStringLiteral("Onet.url"), QStringLiteral("http://www.onet.pl/"));
    OpenFileDialog openDoc;
    TOdnosnikDlg dialog(&openDoc);
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    int opened = 0;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
            ++opened;
            QTest::keyClick(menu, Qt::Key_Down);
            QTest::keyClick(menu, Qt::Key_Return);
        }
    });
    poll.start();
    QTest::keyClick(dialog.Edit_Adres, Qt::Key_U, Qt::AltModifier); // the caption's " &Ulubione"
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(QApplication::focusWidget(), dialog.WWW);
    EXPECT_EQ(dialog.Edit_Adres->currentText(), QStringLiteral("http://www.onet.pl/"));
    dialog.Edit_Adres->setCurrentText(QString());
    QTest::keyClick(dialog.WWW, Qt::Key_Space);
    EXPECT_EQ(opened, 2);
    EXPECT_EQ(dialog.Edit_Adres->currentText(), QStringLiteral("http://www.onet.pl/"));
    EXPECT_TRUE(dialog.isVisible()) << "Enter in the menu chose the item and did not end the dialog";
    dialog.hide();
}

TEST_F(FavouritesTest, ExtendedItemsAreMeasuredAndDrawnByTheirOptions)
{
    shortcut(QStringLiteral("Bardzo dluga nazwa ulubionej strony.url"), QStringLiteral("http://a/"));
    shortcut(QStringLiteral("Krotka.url"), QStringLiteral("http://b/"));
    TWWWBtn97 button;
    QImage icon(16, 16, QImage::Format_RGB32);
    icon.fill(Qt::blue);
    icon.setPixel(0, 0, qRgb(255, 255, 255)); // the corner names the transparent colour
    button.MenuOptions.ItemBmpFolder = QPixmap::fromImage(icon);
    button.MenuOptions.ItemBmpURL = QPixmap::fromImage(icon);
    button.MenuOptions.ItemSelectColor = QColor(10, 20, 30);
    button.loadFavorites();
    button.switchToExtended();
    QMenu *menu = button.menu();
    menu->popup(QPoint(0, 0));
    ASSERT_EVENTUALLY(menu->isVisible(), 5000);
    const QList<QAction *> items = menu->actions();
    ASSERT_EQ(items.size(), 2);
    const QRect a = menu->actionGeometry(items[0]), b = menu->actionGeometry(items[1]);
    EXPECT_EQ(a.height(), button.itemHeight() + 2);
    EXPECT_EQ(a.width(), b.width()) << "every item is as wide as the widest caption";
    EXPECT_GE(a.width(), QFontMetrics(button.MenuOptions.FontItem).horizontalAdvance(items[0]->text()) + 20);
    menu->setActiveAction(items[1]);
    const QImage shot = menu->grab().toImage();
    EXPECT_EQ(shot.pixelColor(b.right() - 3, b.center().y()), QColor(10, 20, 30)) << "the highlighted item's own colour";
    EXPECT_EQ(shot.pixelColor(b.left() + 8, b.center().y()), QColor(Qt::blue)) << "its icon 2 pixels from the left";
    menu->close();
}

// The browsers' bookmark stores, written by the tests in the browsers' own
// formats (a JSON file; an SQLite database with Firefox's tables).
class BrowserBookmarksTest : public Isolated {
protected:
    void SetUp() override
    {
        Isolated::SetUp();
        home = folder(QStringLiteral("home"));
        registry->deleteKey(Hive::CurrentUser, QStringLiteral("Software\\Microsoft"));
    }
    QString writeChromium()
    {
        const QString file = home + QStringLiteral(".config/chromium/Default/Bookmarks");
        QDir().mkpath(QFileInfo(file).absolutePath());
        writeFile(file, R"({"roots": {
            "bookmark_bar": {"type": "folder", "name": "Bookmarks bar", "children": [
                {"type": "url", "name": "Onet", "url": "http://www.onet.pl/"},
                {"type": "folder", "name": "Wiadomości", "children": [
                    {"type": "url", "name": "Onet", "url": "http://wiadomosci.onet.pl/"},
                    {"type": "url", "name": "Łódź", "url": "http://lodz.pl/"},
                    {"type": "url", "name": "Śląsk", "url": "http://slask.pl/"},
                    {"type": "url", "name": "ala", "url": "http://ala.pl/"}]}]},
            "other": {"type": "folder", "name": "Other", "children": []},
            "synced": {"type": "folder", "name": "Mobile", "children": [
                {"type": "url", "name": "", "url": "http://bez-nazwy.pl/"}]}}, "version": 1})");
        return file;
    }
    QString writeFirefox(const char *profilesIni)
    {
        const QString firefox = home + QStringLiteral(".mozilla/firefox/");
        QDir().mkpath(firefox + QStringLiteral("abcd.default-release"));
        writeFile(firefox + QStringLiteral("profiles.ini"), profilesIni);
        const QString places = firefox + QStringLiteral("abcd.default-release/places.sqlite");
        sqlite3 *db = nullptr;
        EXPECT_EQ(sqlite3_open(QFile::encodeName(places).constData(), &db), SQLITE_OK);
        const char *sql = R"(
            CREATE TABLE moz_places (id INTEGER PRIMARY KEY, url LONGVARCHAR, title LONGVARCHAR);
            CREATE TABLE moz_bookmarks (id INTEGER PRIMARY KEY, type INTEGER, fk INTEGER DEFAULT NULL, parent INTEGER,
                                        position INTEGER, title LONGVARCHAR, guid TEXT);
            INSERT INTO moz_places VALUES (1, 'http://www.onet.pl/', 'x'), (2, 'http://wiadomosci.onet.pl/', 'x'),
                                          (3, 'place:sort=8', 'x'), (4, 'http://tag.pl/', 'x'), (5, 'http://bez-nazwy.pl/', 'x');
            INSERT INTO moz_bookmarks VALUES
                (1, 2, NULL, 0, 0, '', 'root________'), (2, 2, NULL, 1, 0, 'menu', 'menu________'),
                (3, 2, NULL, 1, 1, 'toolbar', 'toolbar_____'), (4, 2, NULL, 1, 2, 'tags', 'tags________'),
                (5, 2, NULL, 1, 3, 'unfiled', 'unfiled_____'),
                (10, 1, 1, 3, 0, 'Onet', 'a1'), (11, 2, NULL, 3, 1, 'Wiadomości', 'a2'),
                (12, 1, 2, 11, 0, 'Onet', 'a3'), (13, 1, 3, 3, 2, 'Najczęściej odwiedzane', 'a4'),
                (14, 2, NULL, 4, 0, 'etykieta', 'a5'), (15, 1, 4, 14, 0, 'Z etykietą', 'a6'),
                (16, 1, 5, 5, 0, NULL, 'a7');
        )";
        EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        sqlite3_close(db);
        return places;
    }
    QString home;
};

TEST_F(BrowserBookmarksTest, ChromiumBookmarksBecomeFoldersAndItemsInTheFavouritesOrder)
{
    const QList<TURLrec> records = readChromiumBookmarks(writeChromium());
    QStringList shown;
    for (const TURLrec &r : records)
        shown << r.Folder + u'|' + r.Name + u'|' + r.URL;
    EXPECT_EQ(shown, (QStringList{QStringLiteral("Pasek zakładek||"), QStringLiteral("Pasek zakładek|Onet|http://www.onet.pl/"),
                                  QStringLiteral("Pasek zakładek\\Wiadomości||"),
                                  QStringLiteral("Pasek zakładek\\Wiadomości|Onet|http://wiadomosci.onet.pl/"),
                                  QStringLiteral("Pasek zakładek\\Wiadomości|ala|http://ala.pl/"),
                                  QStringLiteral("Pasek zakładek\\Wiadomości|Śląsk|http://slask.pl/"),
                                  QStringLiteral("Pasek zakładek\\Wiadomości|Łódź|http://lodz.pl/"),
                                  QStringLiteral("Zakładki z telefonu||"),
                                  QStringLiteral("Zakładki z telefonu|http://bez-nazwy.pl/|http://bez-nazwy.pl/")}))
        << "an empty folder is left out; a nameless bookmark shows its address";
    EXPECT_TRUE(readChromiumBookmarks(home + QStringLiteral("brak")).isEmpty());
    writeFile(home + QStringLiteral("zepsuty"), "{\"roots\": [1, 2");
    EXPECT_TRUE(readChromiumBookmarks(home + QStringLiteral("zepsuty")).isEmpty());
}

TEST_F(BrowserBookmarksTest, FirefoxBookmarksAreReadFromItsDefaultProfileWithoutTagsOrQueries)
{
    const QString places = writeFirefox("[Profile0]\nName=default-release\nIsRelative=1\nPath=abcd.default-release\n"
                                        "[Profile1]\nName=inny\nIsRelative=1\nPath=brak\nDefault=1\n");
    const BrowserBookmarks found = findBrowserBookmarks(home.chopped(1));
    EXPECT_EQ(found.kind, BrowserBookmarks::Kind::Firefox);
    EXPECT_EQ(found.file, places) << "the profile that has a places database";
    QStringList shown;
    for (const TURLrec &r : readFirefoxBookmarks(places))
        shown << r.Folder + u'|' + r.Name + u'|' + r.URL;
    EXPECT_EQ(shown, (QStringList{QStringLiteral("Inne zakładki||"),
                                  QStringLiteral("Inne zakładki|http://bez-nazwy.pl/|http://bez-nazwy.pl/"),
                                  QStringLiteral("Pasek zakładek||"), QStringLiteral("Pasek zakładek|Onet|http://www.onet.pl/"),
                                  QStringLiteral("Pasek zakładek\\Wiadomości||"),
                                  QStringLiteral("Pasek zakładek\\Wiadomości|Onet|http://wiadomosci.onet.pl/")}));
    QFile::setPermissions(places, QFile::ReadOwner); // read, never written
    EXPECT_EQ(readFirefoxBookmarks(places).size(), shown.size());
}

TEST_F(BrowserBookmarksTest, WithoutAFavoritesFolderTheButtonShowsTheFirstBrowserFound)
{
    writeFirefox("[Install4F96D1932A9F858E]\nDefault=abcd.default-release\n");
    EXPECT_EQ(findBrowserBookmarks(home.chopped(1)).kind, BrowserBookmarks::Kind::Firefox);
    const QString chromium = writeChromium();
    EXPECT_EQ(findBrowserBookmarks(home.chopped(1)).kind, BrowserBookmarks::Kind::Chromium) << "Chromium is looked at first";

    OpenFileDialog openDoc;
    TOdnosnikDlg dialog(&openDoc);
    EXPECT_EQ(dialog.WWW->FavoritesPath, chromium);
    QMenu *bar = nullptr;
    for (QAction *a : dialog.WWW->menu()->actions())
        if (a->menu() && a->text() == QStringLiteral("Pasek zakładek"))
            bar = a->menu();
    ASSERT_NE(bar, nullptr);
    QMenu *news = nullptr;
    for (QAction *a : bar->actions())
        if (a->menu())
            news = a->menu();
    ASSERT_NE(news, nullptr);
    news->actions().first()->trigger(); // Wiadomości › Onet, not the Onet beside the folder
    EXPECT_EQ(dialog.Edit_Adres->currentText(), QStringLiteral("http://wiadomosci.onet.pl/"));
}

} // namespace
