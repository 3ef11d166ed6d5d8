#pragma once

#include "PublishRun.h"
#include "SftpClient.h"
#include "ftp.h"

#include <QDialog>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QStringList>

#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QSpinBox;
class QToolButton;
class QTreeWidget;

namespace zk {

// "Publikowanie": what will be sent, the remembered profile, and the upload
// of every file of the publication and the badge to an FTP server.
class TPubDlg : public QDialog {
    Q_OBJECT
public:
    TPubDlg(const QStringList &publishFiles, const QString &badgeSourcePath, QWidget *parent = nullptr);
    ~TPubDlg() override;

    QTreeWidget *Tree = nullptr;
    QLineEdit *ED_Serwer = nullptr;
    QLineEdit *Ed_User = nullptr;
    QLineEdit *ED_Haslo = nullptr;
    QLineEdit *Ed_Folder = nullptr;
    QCheckBox *CHK_Async = nullptr;
    QCheckBox *CHK_Wszystko = nullptr; // every file sent, changed or not
    QSpinBox *SE_Polaczenia = nullptr; // sessions sending at once
    QComboBox *CB_Polaczenie = nullptr;
    QCheckBox *CHK_Zapamietaj = nullptr;
    QProgressBar *Progress = nullptr;
    QLabel *LB_Postep = nullptr;          // bytes sent, speed, time left
    QToolButton *BTN_Szczegoly = nullptr; // shows or hides the conversation
    QPlainTextEdit *Szczegoly = nullptr;  // the conversation with the server, to read and copy
    QToolButton *Przycisk_OK = nullptr;
    QToolButton *Przycisk_Anuluj = nullptr;
    QToolButton *BTN_Pomoc = nullptr;
    T_FTP ftp;

    qint64 PublishTotal = 0;
    QString ProgressFile;
    bool isRunning() const { return m_running; }
    // Where each file goes on the server, relative to the target folder
    // ("img/a.gif"); a file not named here goes under its own file name.
    void setRemoteNames(const QHash<QString, QString> &names) { m_remoteNames = names; }
    // The page's address on the web: after a run, what it shows there is
    // compared with what was sent ("" : not checked).
    void setWebAddress(const QString &address) { m_webAddress = address; }
    // How the list shows a file that is not sent from where the user chose
    // it (the recording of a melody, kept in the cache): file -> text.
    void setShownNames(const QHash<QString, QString> &names);

    // What the controls say: server, account, folder, connection, sessions.
    PublishSettings settings() const;
    // The controls set from such a value (the profile, or a test's server).
    void setSettings(const PublishSettings &settings);

    void LadujProfile();
    void SaveProfile();
    void Przycisk_OKClick();
    void Przycisk_AnulujClick();
    void BTN_PomocClick();
    // A file has arrived (under its temporary name, or the badge).
    void fileSent(const QString &remoteName, qint64 bytes);
    void BTN_SzczegolyClick();

    void done(int result) override;
    void reject() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildTree();
    void showProgress();
    void note(const QString &line);
    void keepPasswordAsChosen();
    void run();
    QStringList livePageDifferences();
    void showPlan(const PublishPlan &plan);
    void useProtocol(PublishSettings &settings);
    HostKeyAnswer askAboutHostKey(const QString &text);
    void fileSentElsewhere(const QString &path, const QString &remoteName, qint64 bytes);
    void error(const QString &text);
    void closeQuietly();
    bool mayClose();

    QStringList m_files;
    QHash<QString, QString> m_remoteNames;
    QString m_badge;
    QString m_webAddress;
    static constexpr int SftpIndex = 2; // of "Połączenie:"
    FtpPublishClient m_client; // the protocol: FTP, with or without TLS
    std::unique_ptr<SftpPublishClient> m_sftp; // or SFTP, made when first chosen
    PublishRun m_run;
    bool m_running = false;
    bool m_closeApproved = false;
    bool m_passwordInKeyring = false; // the password shown came from the keyring, or went there
    TransferProgress m_progress;
    QElapsedTimer m_fileClock;
};

} // namespace zk
