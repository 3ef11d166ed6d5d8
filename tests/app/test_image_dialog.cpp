#include "Eventually.h"
#include "Grafika.h"
#include "Isolated.h"
#include "Modal.h"
#include "Kreator.h"
#include "SpinEdit.h"
#include "THtmlMemo.h"

#include "../imaging/TestPictures.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

using namespace zk;
using zk::testing::Isolated;
using zk::testing::whenModal;

namespace {

class ImageDialogTest : public Isolated {
protected:
    void SetUp() override
    {
        Isolated::SetUp();
        dialog = std::make_unique<TGrafikaDlg>([this](const QString &filter) {
            filters << filter;
            return chosen.isEmpty() ? QString() : chosen.takeFirst();
        });
    }
    QString fragment()
    {
        dialog->Przycisk_OKClick();
        return dialog->ImageFragment;
    }
    std::unique_ptr<TGrafikaDlg> dialog;
    QStringList chosen, filters;
};

TEST(ImageFragment, AttributesInTheirFixedOrder)
{
    ImageFields f;
    f.location = QStringLiteral("a.gif");
    EXPECT_EQ(buildImageFragment(f), QStringLiteral("<IMG SRC=\"a.gif\" BORDER=\"0\">"));
    f.height = 80, f.width = 120, f.hspace = 5, f.vspace = 3, f.border = 2;
    f.align = QStringLiteral("ABSMIDDLE"), f.alt = QStringLiteral("Kot"), f.lowsrc = QStringLiteral("m.gif");
    f.usemap = QStringLiteral("mapa1"), f.ismap = true;
    EXPECT_EQ(buildImageFragment(f), QStringLiteral("<IMG SRC=\"a.gif\" HEIGHT=\"80\" WIDTH=\"120\" HSPACE=\"5\" VSPACE=\"3\" "
                                                    "BORDER=\"2\" ALIGN=\"ABSMIDDLE\" ALT=\"Kot\" LOWSRC=\"m.gif\" "
                                                    "USEMAP=\"#mapa1\" ISMAP>"));
    ImageFields clip;
    clip.clip = QStringLiteral("film.avi");
    EXPECT_EQ(buildImageFragment(clip), QStringLiteral("<IMG BORDER=\"0\" DYNSRC=\"film.avi\" LOOP=\"1\" START=\"FILEOPEN\">"));
    clip.infinite = true, clip.start = 2, clip.controls = true;
    EXPECT_EQ(buildImageFragment(clip),
              QStringLiteral("<IMG BORDER=\"0\" DYNSRC=\"film.avi\" LOOP=\"INFINITE\" START=\"FILEOPEN,MOUSEOVER\" CONTROLS>"));
    ImageFields noClip;
    noClip.location = QStringLiteral("a.gif");
    noClip.infinite = true, noClip.controls = true;
    EXPECT_EQ(buildImageFragment(noClip), QStringLiteral("<IMG SRC=\"a.gif\" BORDER=\"0\">")) << "no clip: no LOOP, START, CONTROLS";
    noClip.html5 = true;
    EXPECT_EQ(buildImageFragment(noClip), QStringLiteral("<IMG SRC=\"a.gif\">")) << "an HTML5 page draws no border: none said";
    noClip.border = 1;
    EXPECT_EQ(buildImageFragment(noClip), QStringLiteral("<IMG SRC=\"a.gif\" BORDER=\"1\">")) << "a chosen border stays";
}

TEST_F(ImageDialogTest, EachFolderButtonIsReachedByTabAndPressedByEnterOrSpace)
{
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    dialog->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    ASSERT_EVENTUALLY(dialog->Edit_Relacja->hasFocus(), 2000);
    QTest::keyClick(dialog->Edit_Relacja, Qt::Key_Tab);
    ASSERT_TRUE(dialog->Przycisk_Otworz->hasFocus());
    chosen << QStringLiteral("/nie/ma/kot.gif");
    QTest::keyClick(dialog->Przycisk_Otworz, Qt::Key_Return);
    EXPECT_EQ(filters.size(), 1) << "Enter on the folder button opens its chooser";
    EXPECT_TRUE(dialog->isVisible()) << "and does not close the dialog as OK";
    dialog->Przycisk_Lowsrc->setFocus();
    QTest::keyClick(dialog->Przycisk_Lowsrc, Qt::Key_Space);
    ASSERT_EVENTUALLY(filters.size() == 2, 2000);
    dialog->Edit_Alt->setFocus();
    QTest::keyClick(dialog->Edit_Alt, Qt::Key_Return);
    EXPECT_FALSE(dialog->isVisible()) << "Enter elsewhere is still OK";
}

TEST_F(ImageDialogTest, StartValuesAndATypedLocation)
{
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Wstawianie grafiki"));
    EXPECT_EQ(dialog->Lista_Start->currentIndex(), 0);
    EXPECT_EQ(dialog->Lista_Align->currentIndex(), -1);
    EXPECT_EQ(dialog->Spin_Powtorz->value(), 1);
    EXPECT_EQ(dialog->Spin_height->maximum(), 2048);
    EXPECT_EQ(dialog->Spin_vspace->maximum(), 99);
    EXPECT_EQ(dialog->Edit_usemap->maxLength(), 33);
    dialog->Przycisk_OKClick();
    EXPECT_TRUE(dialog->ImageFragment.isEmpty()) << "with both locations empty OK is ignored";
    EXPECT_FALSE(dialog->result() == QDialog::Accepted);
    QTest::keyClicks(dialog->Edit_Relacja, QStringLiteral("obrazki/kot.gif"));
    EXPECT_EQ(dialog->Spin_height->value(), 0) << "typing shows no preview";
    EXPECT_EQ(fragment(), QStringLiteral("<IMG SRC=\"obrazki/kot.gif\" BORDER=\"0\">"));
}

TEST_F(ImageDialogTest, AChosenGifGivesItsSizeAndTheFieldsStretchThePreview)
{
    ASSERT_TRUE(zk::testing::writeGif(path(QStringLiteral("KOT.GIF")), 120, 80));
    chosen << path(QStringLiteral("KOT.GIF"));
    QTest::mouseClick(dialog->Przycisk_Otworz, Qt::LeftButton);
    EXPECT_EQ(filters.first(), QStringLiteral("Pliki graficzne (gif, jpg, png)|*.gif;*.jpg;*.jpeg;*.png"));
    EXPECT_EQ(dialog->Spin_height->value(), 80);
    EXPECT_EQ(dialog->Spin_width->value(), 120);
    EXPECT_EQ(dialog->BMP->size(), QSize(120, 80));
    dialog->Spin_height->setValue(40);
    EXPECT_EQ(dialog->BMP->size(), QSize(120, 40));
    EXPECT_EQ(fragment(), QStringLiteral("<IMG SRC=\"%1\" HEIGHT=\"40\" WIDTH=\"120\" BORDER=\"0\">").arg(path(QStringLiteral("KOT.GIF"))));
    EXPECT_TRUE(prompts.messages().isEmpty());
}

TEST_F(ImageDialogTest, PngAndDamagedFilesAreRefusedWithTheirMessages)
{
    ASSERT_TRUE(zk::testing::writeGif(path(QStringLiteral("dobry.gif")), 64, 32));
    static const char damaged[] = "GIF89a\x10\x00\x10\x00 damaged";
    zk::testing::writeBytes(path(QStringLiteral("zly.gif")), QByteArray(damaged, sizeof damaged - 1));
    QImage jpg(50, 30, QImage::Format_RGB32);
    jpg.fill(Qt::blue);
    ASSERT_TRUE(zk::testing::writeJpeg(path(QStringLiteral("foto.JPEG")), jpg));
    chosen << path(QStringLiteral("foto.JPEG")) << path(QStringLiteral("dobry.gif")) << path(QStringLiteral("zly.gif"))
           << path(QStringLiteral("rys.png"));
    dialog->Przycisk_OtworzClick();
    EXPECT_EQ(dialog->Spin_width->value(), 50) << "JPEG by its capital extension";
    dialog->Przycisk_OtworzClick();
    EXPECT_EQ(dialog->Spin_width->value(), 64);
    dialog->Przycisk_OtworzClick();
    EXPECT_EQ(dialog->Spin_height->value(), 0) << "the earlier picture's size is not kept";
    EXPECT_EQ(dialog->Spin_width->value(), 0);
    EXPECT_EQ(dialog->BMP->size(), QSize(0, 0));
    EXPECT_EQ(dialog->Edit_Relacja->text(), path(QStringLiteral("zly.gif")));
    dialog->Przycisk_OtworzClick();
    const auto messages = prompts.messages();
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages[0].caption, QStringLiteral("UWAGA!"));
    EXPECT_EQ(messages[0].flags, 48);
    EXPECT_EQ(messages[0].text, QStringLiteral("Nie potrafię wyświetlić tego pliku!"));
    EXPECT_EQ(messages[1].flags, 16);
    EXPECT_EQ(messages[1].text, QStringLiteral("Nie potrafię wyświetlać innych plików niż GIF lub JPG!"));
    EXPECT_EQ(fragment(), QStringLiteral("<IMG SRC=\"%1\" BORDER=\"0\">").arg(path(QStringLiteral("rys.png"))));
}

TEST_F(ImageDialogTest, APictureNamedGifIsReadByWhatItHolds)
{
    QImage photo(50, 30, QImage::Format_RGB32);
    photo.fill(Qt::blue);
    ASSERT_TRUE(zk::testing::writeJpeg(path(QStringLiteral("zdjecie.gif")), photo));
    ASSERT_TRUE(zk::testing::writeGif(path(QStringLiteral("rysunek.jpg")), 20, 10));
    ASSERT_TRUE(photo.save(path(QStringLiteral("ekran.gif")), "PNG"));
    zk::testing::writeBytes(path(QStringLiteral("notatka.gif")), QByteArray("Zażółć gęślą jaźń\nto nie obrazek\n"));
    const struct {
        const char *file;
        int width;     // 0: no picture shown
        int flags;     // of the one message
        const char *text;
    } cases[] = {
        {"zdjecie.gif", 50, 48, "Ten plik to obraz JPEG, choć jego nazwa kończy się na \".gif\". Przeglądarki go pokażą, "
                                "ale lepiej nadać mu rozszerzenie \".jpg\"."},
        {"rysunek.jpg", 20, 48, "Ten plik to obraz GIF, choć jego nazwa kończy się na \".jpg\". Przeglądarki go pokażą, "
                                "ale lepiej nadać mu rozszerzenie \".gif\"."},
        {"ekran.gif", 0, 16, "Ten plik to obraz PNG, choć jego nazwa kończy się na \".gif\". "
                             "Nie potrafię wyświetlać innych plików niż GIF lub JPG!"},
        {"notatka.gif", 0, 48, "Ten plik nie jest obrazem, lecz plikiem tekstowym. Nie potrafię wyświetlić tego pliku!"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        prompts.clear();
        chosen << path(QString::fromLatin1(c.file));
        dialog->Przycisk_OtworzClick();
        EXPECT_EQ(dialog->Spin_width->value(), c.width);
        ASSERT_EQ(prompts.messages().size(), 1);
        EXPECT_EQ(prompts.messages().first().caption, QStringLiteral("UWAGA!"));
        EXPECT_EQ(prompts.messages().first().flags, c.flags);
        EXPECT_EQ(prompts.messages().first().text, QString::fromUtf8(c.text));
        EXPECT_EQ(dialog->Edit_Relacja->text(), path(QString::fromLatin1(c.file))) << "the chosen name stays";
    }
}

TEST_F(ImageDialogTest, CancelledChoosersEmptyTheirFieldsAndTheClipOptions)
{
    ASSERT_TRUE(zk::testing::writeGif(path(QStringLiteral("a.gif")), 10, 10));
    chosen << path(QStringLiteral("a.gif"));
    dialog->Przycisk_OtworzClick();
    dialog->Przycisk_OtworzClick(); // cancelled
    EXPECT_TRUE(dialog->Edit_Relacja->text().isEmpty());
    EXPECT_EQ(dialog->Spin_width->value(), 0);
    dialog->Edit_lowsrc->setText(QStringLiteral("x"));
    dialog->Przycisk_LowsrcClick();
    EXPECT_TRUE(dialog->Edit_lowsrc->text().isEmpty());
    chosen << QStringLiteral("/filmy/film.avi");
    dialog->Przycisk_AnimacjaClick();
    EXPECT_EQ(filters.last(), QStringLiteral("Pliki graficzne (gif, jpg, png)|*.gif;*.jpg;*.png|Animacje|*.avi"));
    dialog->Check_Infinite->click();
    EXPECT_FALSE(dialog->Spin_Powtorz->isEnabled());
    dialog->Edit_usemap->setText(QStringLiteral("mapa1"));
    dialog->Check_ismap->setChecked(true);
    EXPECT_EQ(fragment(), QStringLiteral("<IMG BORDER=\"0\" USEMAP=\"#mapa1\" ISMAP DYNSRC=\"/filmy/film.avi\" LOOP=\"INFINITE\" "
                                         "START=\"FILEOPEN\">"));
}

TEST_F(ImageDialogTest, EditorImageCommandReplacesTheSelectionOrLeavesItOnCancel)
{
    TKreatorDlg window(folder(QStringLiteral("program")));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.Pages->setCurrentIndex(2);
    window.Edytorek->setFocus();
    window.Edytorek->setPlainText(QStringLiteral("Tu obrazek: XX."));
    window.Edytorek->setSelStart(12);
    window.Edytorek->setSelLength(2);
    whenModal([](QWidget *w) { QTest::keyClick(w, Qt::Key_Escape); });
    QTest::keyClick(window.Edytorek, Qt::Key_I, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(window.Edytorek->SelText(), QStringLiteral("XX")) << "cancel leaves text and selection";
    whenModal([](QWidget *w) {
        auto *d = qobject_cast<TGrafikaDlg *>(w);
        ASSERT_NE(d, nullptr);
        d->Edit_Relacja->setText(QStringLiteral("kot.gif"));
        QTest::keyClick(d->Edit_Relacja, Qt::Key_Return);
    });
    window.Edytorek_GRafikaClick();
    EXPECT_EQ(window.Edytorek->toPlainText(), QStringLiteral("Tu obrazek: <IMG SRC=\"kot.gif\" BORDER=\"0\">."));
    EXPECT_EQ(window.Edytorek->SelLength(), 0);

    // On an HTML5 page the picture gets no border of the dialog's own, which the checks would call outdated.
    window.Lista_Atrybuty_DocType->setCurrentIndex(window.Lista_Atrybuty_DocType->count() - 1);
    window.Edytorek->setPlainText(QStringLiteral("Tu: "));
    window.Edytorek->setSelStart(4);
    whenModal([](QWidget *w) {
        auto *d = qobject_cast<TGrafikaDlg *>(w);
        ASSERT_NE(d, nullptr);
        d->Edit_Relacja->setText(QStringLiteral("kot.gif"));
        d->Edit_Alt->setText(QStringLiteral("Kot"));
        QTest::keyClick(d->Edit_Relacja, Qt::Key_Return);
    });
    window.Edytorek_GRafikaClick();
    EXPECT_EQ(window.Edytorek->toPlainText(), QStringLiteral("Tu: <IMG SRC=\"kot.gif\" ALT=\"Kot\">"));
    window.hide();
}

} // namespace
