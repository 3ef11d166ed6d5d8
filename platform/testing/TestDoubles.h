#pragma once

#include "HelpViewer.h"
#include "MediaPlayer.h"
#include "Prompts.h"
#include "Registry.h"
#include "Shell.h"

#include <QList>
#include <QPoint>
#include <QStringList>
#include <deque>
#include <variant>

namespace zk::testing {

// Answers prompts from a script and records every prompt shown. A prompt
// that needs an answer and has none scripted fails the running test.
class ScriptedPrompts : public Prompts {
public:
    enum class Kind { Message, Question, OpenFile, SaveFile, Color, Folder, Choice };
    struct Call {
        Kind kind;
        int flags = 0;
        QString caption;
        QString text;      // message text, question text, dialog title
        QString filter;    // open-file filter
        QColor initial;    // colour dialog start
    };
    using Answer = std::variant<bool, QString, std::optional<QColor>, YesNoCancel, int>;

    void answerQuestion(bool yes) { m_answers.push_back(yes); }
    void answerOpenFile(const QString &path) { m_answers.push_back(path); }
    void answerSaveFile(const QString &path) { m_answers.push_back(path); }
    void answerWithCancel(YesNoCancel answer) { m_answers.push_back(answer); }
    void answerFolder(const QString &path) { m_answers.push_back(path); }
    void answerColor(std::optional<QColor> colour) { m_answers.push_back(colour); }
    void answerChoice(int index) { m_answers.push_back(index); }

    const QList<Call> &calls() const { return m_calls; }
    QList<Call> messages() const;
    bool allAnswersUsed() const { return m_answers.empty(); }
    // Forgets the calls; answers left unused fail the test, as at its end.
    void clear();

    void message(int flags, const QString &caption, const QString &text, QWidget *owner) override;
    bool question(const QString &caption, const QString &text, QWidget *owner) override;
    YesNoCancel questionWithCancel(const QString &caption, const QString &text, QWidget *owner) override;
    int choose(int flags, const QString &caption, const QString &text, const QStringList &buttons, QWidget *owner) override;
    QString openFile(const OpenFileRequest &request, QWidget *owner) override;
    QString saveFile(const OpenFileRequest &request, QWidget *owner) override;
    std::optional<QColor> chooseColor(ColorRequest &request, QWidget *owner) override;
    QString chooseFolder(const QString &title, const QString &startFolder, QWidget *owner) override;

private:
    template <typename T> T next(const char *what, T fallback);
    QList<Call> m_calls;
    std::deque<Answer> m_answers;
};

// Records what the program asked the desktop to do; each answer is
// success unless told otherwise.
class RecordingShell : public Shell {
public:
    struct Call {
        QString what; // document or program
        QStringList arguments;
        QString workingFolder;
        bool isProgram = false;
    };
    bool succeed = true;
    QList<Call> calls;

    bool openDocument(const QString &pathOrAddress, QWidget *parent) override;
    bool startProgram(const QString &program, const QStringList &arguments,
                      const QString &workingFolder, QWidget *parent) override;
};

class RecordingHelpViewer : public HelpViewer {
public:
    struct Topic {
        int context;
        QPoint globalPos;
    };
    QString helpFile;
    int contentsShown = 0;
    QList<Topic> topics;

    void setHelpFile(const QString &path) override { helpFile = path; }
    void showContents(QWidget *) override { ++contentsShown; }
    void showTopic(int context, const QPoint &globalPos, QWidget *) override
    {
        topics.append({context, globalPos});
    }
};

// Records what the program asked of the sound; opening succeeds unless told otherwise.
class RecordingMediaPlayer : public MediaPlayer {
public:
    bool succeed = true;
    bool prepareLater = false; // as a melody is: ready when finishPreparing() says
    bool ready = false;
    QStringList calls;
    QString file;
    bool open(const QString &path) override
    {
        calls << QStringLiteral("open ") + path;
        file = succeed ? path : QString();
        ready = succeed && !prepareLater;
        return succeed;
    }
    bool isReady() const override { return ready; }
    void finishPreparing(bool ok)
    {
        ready = ok;
        if (!ok)
            file.clear();
        if (prepared)
            prepared(ok);
    }
    void play() override { calls << QStringLiteral("play"); }
    void stop() override { calls << QStringLiteral("stop"); }
    void close() override
    {
        calls << QStringLiteral("close");
        file.clear();
        ready = false;
    }
    bool isOpen() const override { return !file.isEmpty(); }
};

// Passes everything to a real registry, but refuses writes to one hive,
// as a machine-wide store does for a user without rights.
class ReadOnlyHiveRegistry : public Registry {
public:
    ReadOnlyHiveRegistry(Registry &inner, Hive readOnly) : m_inner(inner), m_readOnly(readOnly) {}

    bool keyExists(Hive hive, const QString &key) const override { return m_inner.keyExists(hive, key); }
    void createKey(Hive hive, const QString &key) override;
    void deleteKey(Hive hive, const QString &key) override;
    std::optional<QString> readString(Hive hive, const QString &key, const QString &name) const override
    {
        return m_inner.readString(hive, key, name);
    }
    void writeString(Hive hive, const QString &key, const QString &name, const QString &value) override;
    std::optional<QByteArray> readBytes(Hive hive, const QString &key, const QString &name) const override
    {
        return m_inner.readBytes(hive, key, name);
    }
    void writeBytes(Hive hive, const QString &key, const QString &name, const QByteArray &value) override;

private:
    void refuse(Hive hive) const;
    Registry &m_inner;
    Hive m_readOnly;
};

} // namespace zk::testing
