// The live preview: the page Preview opened in the browser follows every
// change of the form. The page is written into the temporary folder as
// Preview writes it; the server there tells the browser to reload.
#include "Kreator.h"

#include "AppError.h"
#include "Messages.h"
#include "PageOutput.h"
#include "PreviewServer.h"
#include "Prompts.h"

#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <QTimer>

namespace zk {

void TKreatorDlg::buildLivePreview()
{
    m_live = new PreviewServer(this);
    m_liveTimer = new QTimer(this);
    m_liveTimer->setSingleShot(true);
    m_liveTimer->setInterval(LivePreviewDelay);
    connect(m_liveTimer, &QTimer::timeout, this, &TKreatorDlg::refreshLivePreview);
    // A browser that opens the page after changes, or reconnects after a reload, gets the latest.
    connect(m_live, &PreviewServer::watchersChanged, this, [this](int watchers) {
        if (watchers > 0 && m_liveStale)
            m_liveTimer->start();
    });
    Link_Telefon = new QLabel(QStringLiteral("<a href=\"podglad\">telefon</a>"), Panel_Hint);
    Link_Telefon->setObjectName(QStringLiteral("Link_Telefon"));
    Link_Telefon->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    Link_Telefon->setStatusTip(QStringLiteral("Adres podglądu na bieżąco, także dla telefonu w tej samej sieci"));
    Link_Telefon->hide(); // there is no address before the first Preview
    connect(Link_Telefon, &QLabel::linkActivated, this, &TKreatorDlg::Link_TelefonClick);
    Panel_Hint->addPermanentWidget(Link_Telefon);
}

bool TKreatorDlg::startLivePreview()
{
    if (m_live->isListening())
        return true;
    if (!m_live->start(m_paths.tempFolder)) {
        Panel_Hint->showMessage(QStringLiteral(" Strona nie będzie się zmieniać razem z formularzem: ") + m_live->errorText());
        return false;
    }
    Link_Telefon->show();
    return true;
}

void TKreatorDlg::stopLivePreview()
{
    m_liveTimer->stop();
    m_live->stop();
    Link_Telefon->hide();
}

void TKreatorDlg::pageChangedForPreview()
{
    if (!m_live || !m_live->isListening())
        return;
    if (m_live->watchers() == 0) { // costs nothing while no browser looks
        m_liveStale = true;
        return;
    }
    m_liveTimer->start(); // restarted by every key: the page follows once the typing pauses
}

// Quiet: a change the page cannot follow is said in the status bar, never in a box.
void TKreatorDlg::refreshLivePreview()
{
    if (m_closed)
        return;
    if (m_live->watchers() == 0) {
        m_liveStale = true;
        return;
    }
    const QString name = normalizePageFileName(Edit_Nazwa->text());
    if (!pageFileNameProblem(Edit_Nazwa->text()).isEmpty())
        return;
    m_liveStale = false;
    QString failure;
    try {
        Generuj_Strone();
        const MessageSink sink = [&failure](const QString &, const QString &text) { failure = text; };
        if (writePageWithAssets(pageOutput(), m_paths.tempFolder, name, sink, &m_madeTempFolders)) {
            m_live->pageChanged();
            return;
        }
    } catch (const AppError &e) {
        failure = e.text();
    }
    Panel_Hint->showMessage(QStringLiteral(" Podgląd nie pokazuje ostatniej zmiany: ") + QString(failure).replace(u'\n', u' '));
}

void TKreatorDlg::Link_TelefonClick()
{
    const QString name = normalizePageFileName(Edit_Nazwa->text());
    const QString here = m_live->address(name);
    if (!m_live->allowsNetwork()) {
        if (!Potwierdzenie(QString(),
                           QStringLiteral("Strona w przeglądarce zmienia się razem z formularzem pod adresem:\n%1\n\n"
                                          "Ten adres działa tylko na tym komputerze. Pozwolić telefonom i innym "
                                          "urządzeniom w tej samej sieci oglądać podgląd?")
                               .arg(here),
                           this))
            return;
        const quint16 port = m_live->port();
        if (!m_live->start(m_paths.tempFolder, true, port)) {
            BladMsg(MB_ICONERROR, ErrorCaption, m_live->errorText(), this);
            m_live->start(m_paths.tempFolder, false, port);
            return;
        }
    }
    const QString phone = m_live->networkAddress(name);
    BladMsg(MB_ICONINFORMATION, QStringLiteral("Podgląd na telefonie"),
            phone.isEmpty() ? QStringLiteral("Ten komputer nie ma adresu w sieci lokalnej, więc telefon nie otworzy "
                                             "podglądu.\n\nNa tym komputerze: %1").arg(here)
                            : QStringLiteral("Na telefonie w tej samej sieci otwórz:\n%1\n\nNa tym komputerze: %2").arg(phone, here),
            this);
}

} // namespace zk
