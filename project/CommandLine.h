#pragma once

#include "ProjectFile.h"

#include <QStringList>
#include <functional>

namespace zk {

inline const QString ProgramVersion = QStringLiteral("3.1.0");

// What the program was asked to do by its arguments.
struct CommandLine {
    enum class Mode { Window, Build, Publish, Help, Version, Error };
    Mode mode = Mode::Window;
    QString project; // the project to open, build or publish
    QString output;  // --output
    bool check = false; // --check: what is worth mending on the page, before it is built (or instead, without --output)
    bool verbose = false;     // --verbose: the conversation with the server on standard error
    QString trustCertificate; // --trust-certificate: the fingerprint of a certificate trusted for this run
    QString trustHostKey;     // --trust-host-key: the SHA256: fingerprint of a new SSH server key trusted for this run
    bool dryRun = false;      // --dry-run: what publishing would send and delete, nothing sent
    bool all = false;         // --all: every file sent, changed or not
    int connections = 2;      // --connections N: sessions sending at once
    QString error;   // Polish, for Mode::Error
};
CommandLine parseCommandLine(const QStringList &arguments);
QString commandLineHelp();

// The main text as the editor holds it: one line per block. The lines are
// views into `text` (no copy of a 5 MB page), so `text` must outlive them
// and stay unchanged; a line that is changed makes its own copy.
QStringList linesOfText(const QString &text);

struct BuildContext {
    QString ownerName;
    QString badgeSourcePath;
    std::function<void(const QString &)> report; // Polish messages, one per call
    // The share recorded of a MIDI melody that the page needs as a recording.
    std::function<void(double)> recordingProgress;
    bool check = false; // report what is worth mending on an HTML5 page first
};
// Writes the project's page and every file that travels with it into
// `outputFolder`, as Save does from the window (with `check`, the findings
// of the checks first; an empty folder then writes nothing). True on success.
bool buildProject(const QString &projectPath, const QString &outputFolder, const BuildContext &context);

struct PublishContext : BuildContext {
    QString password;
    QString trustedFingerprint; // a certificate trusted from the window for the project's server
    QString trustedHostKey;     // a new SSH server key trusted for this run ("SHA256:...")
    QString workFolder; // where the page is written before it is sent
    bool verbose = false; // every command and reply, the TLS and each file's speed go to `report`
    // Bytes sent of the total so far, after each file has arrived.
    std::function<void(qint64 sent, qint64 total, const QString &file)> progress;
    QString knownRevision; // the record this computer last wrote there
    bool dryRun = false;
    bool everything = false;
    int connections = 2; // sessions sending at once
    // After a publication: the revision of the record it wrote.
    std::function<void(const QString &server, const QString &folder, const QString &revision)> revisionWritten;
};
// Publishes the project's page and its files with the project's profile,
// as "Wyślij" does from the window; a folder missing on the server is made.
bool publishProject(const QString &projectPath, const PublishContext &context);

} // namespace zk
