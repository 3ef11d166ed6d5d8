#include "Grafika.h"
#include "Isolated.h"
#include "Modal.h"
#include "Mnemonics.h"
#include "Odnosnik.h"
#include "OpenFileDialog.h"
#include "Rename.h"
#include "TabWalk.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QFontMetrics>
#include <QTest>
#include <QToolButton>

using namespace zk;
using zk::testing::Isolated;
using zk::testing::whenModal;

namespace {

TEST(LinkFragment, AttributesInTheirOrderOnlyWhenGiven)
{
    EXPECT_EQ(buildLinkFragment({QStringLiteral("http://a.pl"), {}, {}, {}, {}}), QStringLiteral("<A HREF=\"http://a.pl\"></A>"));
    EXPECT_EQ(buildLinkFragment({QStringLiteral("a.html"), QStringLiteral("Opis"), {}, QStringLiteral("_top"), {}}),
              QStringLiteral("<A HREF=\"a.html\" TARGET=\"_top\">Opis</A>"));
    EXPECT_EQ(buildLinkFragment({QStringLiteral("a.html"), QStringLiteral("x"), QStringLiteral("kotwica"), {},
                                 QStringLiteral("Jan's \"strona\"")}),
              QStringLiteral("<A HREF=\"a.html\" NAME=\"kotwica\" onMouseOver=\"self.status='Jan's \"strona\"'; return true\">x</A>"));
    EXPECT_EQ(buildLinkFragment({QStringLiteral(" a "), QStringLiteral(" b "), QStringLiteral("n"), QStringLiteral("okno"),
                                 QStringLiteral("s")}),
              QStringLiteral("<A HREF=\" a \" NAME=\"n\" TARGET=\"okno\" onMouseOver=\"self.status='s'; return true\"> b </A>"));
}

class DialogsTest : public Isolated {};

TEST_F(DialogsTest, InputDialogReturnsTheTextAsTypedOnEnterOnly)
{
    whenModal([](QWidget *d) {
        auto *edit = d->findChild<QLineEdit *>(QStringLiteral("Edit_Nazwa"));
        QTest::keyClicks(edit, QStringLiteral("  jan@x.pl "));
        QTest::keyClick(edit, Qt::Key_Return, Qt::ShiftModifier); // not OK
        QTest::keyClick(edit, Qt::Key_Return);
    });
    const auto text = TDlg_Rename::ask({QStringLiteral("Dodawanie adresu kontaktowego"), QStringLiteral("Adres e-mail:"), {},
                                        QStringLiteral("Tutaj wpisz swój adres kontaktowy e-mail"), TDlg_Rename::Icon::Mail, 1040},
                                       nullptr);
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(*text, QStringLiteral("  jan@x.pl ")) << "blanks are kept";

    whenModal([](QWidget *d) {
        QTest::keyClicks(d->findChild<QLineEdit *>(QStringLiteral("Edit_Nazwa")), QStringLiteral("abc"));
        QTest::keyClick(d->findChild<QLineEdit *>(QStringLiteral("Edit_Nazwa")), Qt::Key_Escape);
    });
    EXPECT_FALSE(TDlg_Rename::ask({}, nullptr).has_value());
    whenModal([](QWidget *d) { d->close(); });
    EXPECT_FALSE(TDlg_Rename::ask({}, nullptr).has_value()) << "the close box cancels";
}

TEST_F(DialogsTest, InputDialogIsDressedByItsCaller)
{
    TDlg_Rename d;
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Zmiana nazwy pliku"));
    EXPECT_EQ(d.Label_Etykieta->text(), QStringLiteral("Podaj nową nazwę:"));
    EXPECT_EQ(d.Przycisk_OK->text(), QStringLiteral("&OK"));
    EXPECT_EQ(d.Przycisk_Anuluj->text(), QStringLiteral("&Anuluj"));
    EXPECT_EQ(d.Przycisk_OK->size(), QSize(65, 65));
    d.dress({QStringLiteral("Dodawanie nowego słowa kluczowego"), QStringLiteral("Podaj słowo:"), QStringLiteral("x"), {},
             TDlg_Rename::Icon::Key, 1025});
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Dodawanie nowego słowa kluczowego"));
    EXPECT_EQ(d.Edit_Nazwa->text(), QStringLiteral("x"));
    EXPECT_TRUE(d.Image_Klucz->isVisibleTo(&d));
    EXPECT_FALSE(d.Image_Mail->isVisibleTo(&d));
    EXPECT_EQ(helpContextOf(d.Edit_Nazwa), 1025);
    QFont bold = d.font();
    bold.setBold(true);
    // A title bar's icon, three buttons and margins take about 120 px (openbox's own theme); at 294 px
    // wide this title was cut in the middle.
    EXPECT_GE(d.width(), QFontMetrics(bold).horizontalAdvance(d.windowTitle()) + 120)
        << "wide enough for its title beside the title bar's icon and buttons";
    EXPECT_EQ(d.minimumWidth(), d.maximumWidth()) << "and still of a fixed size";
}

TEST_F(DialogsTest, LinkDialogBuildsTheFragmentAndEmptyAddressCancels)
{
    OpenFileDialog openDoc;
    openDoc.Title = QStringLiteral("Otwórz");
    openDoc.Filter = QStringLiteral("Dokumenty HTML (*.htm;*.html)|*.htm;*.html");
    TOdnosnikDlg d(&openDoc);
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Wstawianie odnośnika"));
    EXPECT_EQ(d.Edit_Adres->count(), 9);
    EXPECT_EQ(d.Edit_Adres->currentText(), QString()) << "no item preselected";
    EXPECT_EQ(d.Edit_Target->count(), 4);
    QTest::keyClicks(d.Edit_Opis, QString(250, u'a'));
    EXPECT_EQ(d.Edit_Opis->text().size(), 240) << "a person types at most 240 characters";
    d.Edit_Opis->clear();
    EXPECT_NE(d.WWW, nullptr);

    whenModal([&](QWidget *) {
        QTest::keyClicks(d.Edit_Opis, QStringLiteral("Opis"));
        QTest::keyClick(d.Edit_Opis, Qt::Key_Return);
    });
    EXPECT_EQ(d.exec(), QDialog::Rejected) << "no address: OK acts as Cancel";

    whenModal([&](QWidget *) {
        d.Edit_Adres->setFocus();
        QTest::keyClicks(d.Edit_Adres, QStringLiteral("http://www.onet.pl"));
        QTest::keyClick(d.Edit_Adres, Qt::Key_Return); // in the combo box too, Enter is OK
    });
    EXPECT_EQ(d.exec(), QDialog::Accepted);
    EXPECT_EQ(d.LinkFragment, QStringLiteral("<A HREF=\"http://www.onet.pl\">Opis</A>"));
    EXPECT_EQ(d.Edit_Adres->count(), 9) << "Enter adds nothing to the list";
}

// The fields a link dialog starts from are the ones it gives back, and the
// fragment it builds from them; a favourite chosen keeps the name and target.
TEST_F(DialogsTest, LinkDialogTakesInTheFieldsItGivesOut)
{
    OpenFileDialog openDoc;
    TOdnosnikDlg d(&openDoc);
    const LinkFields start{.address = QStringLiteral("cennik.html"), .description = QStringLiteral("Ceny chleba"),
                           .name = QStringLiteral("ceny"), .target = QStringLiteral("_blank"),
                           .statusText = QStringLiteral("Cennik piekarni")};
    d.setFields(start);
    const LinkFields back = d.fields();
    EXPECT_EQ(back.address, start.address);
    EXPECT_EQ(back.description, start.description);
    EXPECT_EQ(back.name, start.name);
    EXPECT_EQ(back.target, start.target);
    EXPECT_EQ(back.statusText, start.statusText);
    whenModal([&](QWidget *) { QTest::keyClick(d.Edit_Opis, Qt::Key_Return); });
    ASSERT_EQ(d.exec(), QDialog::Accepted);
    EXPECT_EQ(d.LinkFragment, buildLinkFragment(start));
    d.WWWSelectURL(QStringLiteral("Onet"), QStringLiteral("http://www.onet.pl/"));
    EXPECT_EQ(d.fields().name, QStringLiteral("ceny"));
    EXPECT_EQ(d.fields().target, QStringLiteral("_blank"));
}

TEST_F(DialogsTest, LinkDialogPicksALocalFileAndRestoresTheFilter)
{
    OpenFileDialog openDoc;
    openDoc.Filter = QStringLiteral("Dokumenty HTML (*.htm;*.html)|*.htm;*.html");
    TOdnosnikDlg d(&openDoc);
    prompts.answerOpenFile(QStringLiteral("/home/jan/strony/cennik.html"));
    prompts.answerOpenFile(QString());
    QTest::mouseClick(d.Przycisk_Otworz, Qt::LeftButton);
    QTest::mouseDClick(d.Edit_Adres->lineEdit(), Qt::LeftButton);
    EXPECT_EQ(d.Edit_Adres->currentText(), QStringLiteral("/home/jan/strony/cennik.html")) << "a cancelled second pick keeps the first";
    ASSERT_EQ(prompts.calls().size(), 2);
    EXPECT_TRUE(prompts.calls()[0].filter.startsWith(QStringLiteral("Dokumenty HTML|*.htm;*.html|Dokumenty tekstowe|*.txt")));
    EXPECT_EQ(openDoc.Filter, QStringLiteral("Dokumenty HTML (*.htm;*.html)|*.htm;*.html"));

    d.setStatusTextEnabled(false);
    d.WWWSelectURL(QStringLiteral("Onet"), QStringLiteral("http://www.onet.pl/"));
    EXPECT_EQ(d.Edit_Opis->text(), QStringLiteral("Onet"));
    EXPECT_EQ(d.Edit_OnMouse->text(), QStringLiteral("Onet")) << "filled even while disabled";
    EXPECT_FALSE(d.Label_JS->isEnabled());
}

TEST_F(DialogsTest, EveryDialogGivesEachMnemonicToOneControl)
{
    OpenFileDialog openDoc;
    TOdnosnikDlg link(&openDoc);
    TDlg_Rename input;
    TGrafikaDlg picture([](const QString &) { return QString(); });
    for (const QWidget *dialog : std::initializer_list<const QWidget *>{&link, &input, &picture})
        for (const QStringList &clash : zk::testing::clashingMnemonics(zk::testing::captionsIn(dialog)))
            ADD_FAILURE() << dialog->objectName().toStdString() << ": " << clash.join(QStringLiteral(" | ")).toStdString();
}

TEST_F(DialogsTest, EveryDialogOpensOnItsFirstFieldAndTabFollowsTheListedOrder)
{
    OpenFileDialog openDoc;
    TOdnosnikDlg link(&openDoc);
    EXPECT_EQ(zk::testing::tabWalk(&link, 8),
              QString("Edit_Adres Edit_Opis Edit_Name Edit_Target Edit_OnMouse WWW Przycisk_OK Przycisk_Anuluj Edit_Adres")
                  .split(u' '));
    TDlg_Rename input;
    EXPECT_EQ(zk::testing::tabWalk(&input, 3), QString("Edit_Nazwa Przycisk_OK Przycisk_Anuluj Edit_Nazwa").split(u' '));
    TGrafikaDlg picture([](const QString &) { return QString(); });
    EXPECT_EQ(zk::testing::tabWalk(&picture, 22),
              QString("Edit_Relacja Przycisk_Otworz Edit_Alt Spin_vspace Spin_hspace Spin_height Spin_width Lista_Align "
                      "Spin_Border Edit_lowsrc Przycisk_Lowsrc Edit_usemap Check_ismap ScrollBox Edit_Animacja "
                      "Przycisk_Animacja Lista_Start Check_Control Spin_Powtorz Check_Infinite Przycisk_OK Przycisk_Anuluj "
                      "Edit_Relacja")
                  .split(u' '))
        << "each folder button follows its field";
}

} // namespace
