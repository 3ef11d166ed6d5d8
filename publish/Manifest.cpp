#include "Manifest.h"

#include "CheckedFile.h"
#include "OpenSslCalls.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStandardPaths>

namespace zk {

namespace {

QJsonObject recordJson(const ManifestFile &f)
{
    QJsonObject o{{QStringLiteral("size"), f.size}, {QStringLiteral("sha256"), f.sha256}};
    if (!f.comparable.isEmpty() && f.comparable != f.sha256)
        o.insert(QStringLiteral("comparable"), f.comparable);
    return o;
}

bool isHash(const QString &text)
{
    static const QRegularExpression hex(QStringLiteral("^[0-9a-f]{64}$"));
    return hex.match(text).hasMatch();
}

// A record with a sane size and hash; false for anything else.
bool recordFrom(const QJsonObject &o, ManifestFile &f)
{
    const QJsonValue size = o.value(QStringLiteral("size"));
    f.size = size.toInteger(-1);
    f.sha256 = o.value(QStringLiteral("sha256")).toString();
    f.comparable = o.value(QStringLiteral("comparable")).toString(f.sha256);
    return size.isDouble() && f.size >= 0 && isHash(f.sha256) && isHash(f.comparable);
}

// A path a manifest may name: relative, inside the target folder, and one
// that can be sent in a command line.
bool isSafePath(const QString &path)
{
    if (path.isEmpty() || path.startsWith(u'/') || path.contains(u'\\') || path.contains(u'\r') || path.contains(u'\n')
        || path.contains(QChar(0)))
        return false;
    const QStringList pieces = path.split(u'/');
    return std::none_of(pieces.begin(), pieces.end(),
                        [](const QString &p) { return p.isEmpty() || p == u'.' || p == QStringLiteral(".."); });
}

bool isPageName(const QString &remoteName)
{
    return remoteName.endsWith(QLatin1String(".htm"), Qt::CaseInsensitive)
        || remoteName.endsWith(QLatin1String(".html"), Qt::CaseInsensitive);
}

bool carriesBuildDate(const QString &remoteName)
{
    return isPageName(remoteName) || remoteName.compare(QLatin1String("sitemap.xml"), Qt::CaseInsensitive) == 0;
}

constexpr qint64 BuildDateReach = 64 * 1024;

// Where the page's build date line is, within its head: {0, 0} for nowhere.
std::pair<qsizetype, qsizetype> buildDateSpan(const QByteArray &bytes)
{
    static const QByteArray open = "<META HTTP-EQUIV=\"Creation-date\" CONTENT=\"";
    const qsizetype at = QByteArrayView(bytes).first(std::min<qsizetype>(bytes.size(), BuildDateReach)).indexOf(open);
    if (at < 0)
        return {0, 0};
    const qsizetype close = bytes.indexOf("\">", at + open.size());
    return close < 0 || close - at > 200 ? std::pair<qsizetype, qsizetype>{0, 0} : std::pair<qsizetype, qsizetype>{at, close + 2 - at};
}

} // namespace

QByteArray manifestJson(const Manifest &manifest)
{
    QJsonArray files;
    for (auto it = manifest.files.cbegin(); it != manifest.files.cend(); ++it) {
        QJsonObject o = recordJson(it.value());
        o.insert(QStringLiteral("path"), it.key());
        files.append(o);
    }
    const QJsonObject root{{QStringLiteral("format"), ManifestFormat},
                           {QStringLiteral("version"), ManifestVersion},
                           {QStringLiteral("revision"), manifest.revision},
                           {QStringLiteral("time"), manifest.time.toUTC().toString(Qt::ISODate)},
                           {QStringLiteral("target"), manifest.target},
                           {QStringLiteral("files"), files},
                           {QStringLiteral("folders"), QJsonArray::fromStringList(manifest.folders)}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

ManifestRead readManifest(const QByteArray &bytes, const QString &target)
{
    ManifestRead read;
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) {
        read.state = ManifestState::Damaged;
        return read;
    }
    const QJsonObject root = doc.object();
    if (root.value(QStringLiteral("format")).toString() != ManifestFormat
        || root.value(QStringLiteral("version")).toInt() != ManifestVersion) {
        read.state = ManifestState::OtherFormat;
        return read;
    }
    Manifest &m = read.manifest;
    m.revision = root.value(QStringLiteral("revision")).toString();
    m.time = QDateTime::fromString(root.value(QStringLiteral("time")).toString(), Qt::ISODate);
    m.target = root.value(QStringLiteral("target")).toString();
    read.state = ManifestState::Valid;
    for (const QJsonValue &v : root.value(QStringLiteral("files")).toArray()) {
        ManifestFile f;
        const QString path = v.toObject().value(QStringLiteral("path")).toString();
        if (!recordFrom(v.toObject(), f) || !isSafePath(path))
            read.state = ManifestState::Damaged;
        m.files.insert(path, f);
    }
    for (const QJsonValue &v : root.value(QStringLiteral("folders")).toArray()) {
        if (!isSafePath(v.toString()))
            read.state = ManifestState::Damaged;
        m.folders << v.toString();
    }
    if (m.revision.isEmpty() || !root.value(QStringLiteral("files")).isArray())
        read.state = ManifestState::Damaged;
    else if (read.state == ManifestState::Valid && m.target != target)
        read.state = ManifestState::OtherTarget;
    if (read.state != ManifestState::Valid && read.state != ManifestState::OtherTarget)
        read.manifest = {};
    return read;
}

QByteArray comparableBytes(const QString &remoteName, QByteArray bytes)
{
    if (isPageName(remoteName)) {
        if (const auto [at, length] = buildDateSpan(bytes); length > 0)
            bytes.remove(at, length);
    } else if (carriesBuildDate(remoteName)) {
        // One per thread: files are described on several at once.
        static thread_local const QRegularExpression date(QStringLiteral("<lastmod>[^<]*</lastmod>"));
        bytes = QString::fromUtf8(bytes).remove(date).toUtf8();
    }
    return bytes;
}

namespace {

// SHA-256 by OpenSSL, which uses the processor's SHA instructions and is
// several times faster than Qt's (a site of photos is hashed at every
// publication); by Qt where OpenSSL cannot be opened.
class FileDigest {
public:
    FileDigest()
    {
        if (!net::openSsl().problem.isEmpty() || !(m_context = EVP_MD_CTX_new()))
            return;
        if (EVP_DigestInit_ex(m_context, EVP_sha256(), nullptr) != 1) {
            EVP_MD_CTX_free(m_context);
            m_context = nullptr;
        }
    }
    ~FileDigest()
    {
        if (m_context)
            EVP_MD_CTX_free(m_context);
    }
    FileDigest(const FileDigest &) = delete;
    FileDigest &operator=(const FileDigest &) = delete;

    void add(QByteArrayView bytes)
    {
        if (!m_context)
            m_qt.addData(bytes);
        else if (EVP_DigestUpdate(m_context, bytes.data(), size_t(bytes.size())) != 1)
            m_failed = true;
    }
    // Lower-case hexadecimal, as the record keeps it; empty if OpenSSL failed.
    QString hex()
    {
        if (!m_context)
            return QString::fromLatin1(m_qt.result().toHex());
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int size = 0;
        if (m_failed || EVP_DigestFinal_ex(m_context, digest, &size) != 1)
            return {};
        return QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(digest), int(size)).toHex());
    }

private:
    EVP_MD_CTX *m_context = nullptr;
    QCryptographicHash m_qt{QCryptographicHash::Sha256};
    bool m_failed = false;
};

} // namespace

LocalFile describeLocalFile(const QString &path, const QString &remoteName)
{
    LocalFile local{path, remoteName, {}};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return local;
    local.record.size = file.size();
    FileDigest whole;
    FileDigest comparable;
    // The date of a page sits in its head; the rest is streamed, never held whole.
    const QByteArray head = isPageName(remoteName) ? file.read(BuildDateReach)
                          : carriesBuildDate(remoteName) ? file.read(ManifestSizeLimit)
                                                         : QByteArray();
    const QByteArray comparableHead = comparableBytes(remoteName, head);
    // A file without a date (every picture) has one digest for both: taken once.
    const bool dated = comparableHead != head;
    whole.add(head);
    if (dated)
        comparable.add(comparableHead);
    QByteArray chunk(64 * 1024, Qt::Uninitialized); // below the size glibc maps afresh each time
    for (qint64 n; (n = file.read(chunk.data(), chunk.size())) > 0;) {
        whole.add(QByteArrayView(chunk.constData(), n));
        if (dated)
            comparable.add(QByteArrayView(chunk.constData(), n));
    }
    if (file.error() != QFileDevice::NoError)
        return local;
    local.record.sha256 = whole.hex();
    local.record.comparable = dated ? comparable.hex() : local.record.sha256;
    return local;
}

QString journalPathFor(const QString &server, const QString &target)
{
    const QByteArray key = QCryptographicHash::hash((server + u'\n' + target).toUtf8(), QCryptographicHash::Sha256).toHex();
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/zentarek/publikacje/")
         + QString::fromLatin1(key.left(32)) + QStringLiteral(".json");
}

PublishJournal readJournal(const QString &path)
{
    PublishJournal journal;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > ManifestSizeLimit)
        return journal;
    const QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
    journal.baseRevision = root.value(QStringLiteral("base")).toString();
    journal.partialName = root.value(QStringLiteral("partial")).toString();
    journal.partialSha256 = root.value(QStringLiteral("partialSha256")).toString();
    const QJsonObject placed = root.value(QStringLiteral("placed")).toObject();
    for (auto it = placed.begin(); it != placed.end(); ++it) {
        ManifestFile f;
        if (recordFrom(it.value().toObject(), f))
            journal.placed.insert(it.key(), f);
    }
    return journal;
}

void writeJournal(const QString &path, const PublishJournal &journal)
{
    QJsonObject placed;
    for (auto it = journal.placed.cbegin(); it != journal.placed.cend(); ++it)
        placed.insert(it.key(), recordJson(it.value()));
    const QJsonObject root{{QStringLiteral("base"), journal.baseRevision},
                           {QStringLiteral("partial"), journal.partialName},
                           {QStringLiteral("partialSha256"), journal.partialSha256},
                           {QStringLiteral("placed"), placed}};
    QDir().mkpath(QFileInfo(path).path());
    writeFileChecked(path, QJsonDocument(root).toJson(QJsonDocument::Compact));
}

void removeJournal(const QString &path)
{
    QFile::remove(path);
}

} // namespace zk
