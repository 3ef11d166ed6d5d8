#include "TestDoubles.h"

#include <gtest/gtest.h>

namespace zk::testing {

QList<ScriptedPrompts::Call> ScriptedPrompts::messages() const
{
    QList<Call> out;
    for (const Call &c : m_calls)
        if (c.kind == Kind::Message)
            out << c;
    return out;
}

template <typename T> T ScriptedPrompts::next(const char *what, T fallback)
{
    if (m_answers.empty()) {
        ADD_FAILURE() << "unexpected prompt: " << what;
        return fallback;
    }
    Answer a = m_answers.front();
    m_answers.pop_front();
    if (!std::holds_alternative<T>(a)) {
        ADD_FAILURE() << "scripted answer does not fit the prompt: " << what;
        return fallback;
    }
    return std::get<T>(a);
}

void ScriptedPrompts::message(int flags, const QString &caption, const QString &text, QWidget *)
{
    m_calls.append({Kind::Message, flags, caption, text, {}, {}});
}

bool ScriptedPrompts::question(const QString &caption, const QString &text, QWidget *)
{
    m_calls.append({Kind::Question, 0, caption, text, {}, {}});
    return next<bool>("question", false);
}

YesNoCancel ScriptedPrompts::questionWithCancel(const QString &caption, const QString &text, QWidget *)
{
    m_calls.append({Kind::Question, 0, caption, text, {}, {}});
    return next<YesNoCancel>("question with cancel", YesNoCancel::Cancel);
}

int ScriptedPrompts::choose(int flags, const QString &caption, const QString &text, const QStringList &buttons, QWidget *)
{
    m_calls.append({Kind::Choice, flags, caption, text, buttons.join(u'|'), {}});
    return next<int>("choice", int(buttons.size()) - 1);
}

QString ScriptedPrompts::saveFile(const OpenFileRequest &request, QWidget *)
{
    m_calls.append({Kind::SaveFile, 0, {}, request.title, request.filter, {}});
    return next<QString>("save file", QString());
}

QString ScriptedPrompts::openFile(const OpenFileRequest &request, QWidget *)
{
    m_calls.append({Kind::OpenFile, 0, {}, request.title, request.filter, {}});
    return next<QString>("open file", QString());
}

std::optional<QColor> ScriptedPrompts::chooseColor(ColorRequest &request, QWidget *)
{
    m_calls.append({Kind::Color, 0, {}, {}, {}, request.initial});
    return next<std::optional<QColor>>("colour", std::nullopt);
}

QString ScriptedPrompts::chooseFolder(const QString &title, const QString &, QWidget *)
{
    m_calls.append({Kind::Folder, 0, {}, title, {}, {}});
    return next<QString>("folder", QString());
}

bool RecordingShell::openDocument(const QString &pathOrAddress, QWidget *)
{
    calls.append({pathOrAddress, {}, {}, false});
    return succeed;
}

bool RecordingShell::startProgram(const QString &program, const QStringList &arguments,
                                  const QString &workingFolder, QWidget *)
{
    calls.append({program, arguments, workingFolder, true});
    return succeed;
}

void ReadOnlyHiveRegistry::refuse(Hive hive) const
{
    if (hive == m_readOnly)
        throw RegistryError(QStringLiteral("Odmowa dostępu do rejestru!"));
}

void ReadOnlyHiveRegistry::createKey(Hive hive, const QString &key)
{
    refuse(hive);
    m_inner.createKey(hive, key);
}

void ReadOnlyHiveRegistry::deleteKey(Hive hive, const QString &key)
{
    refuse(hive);
    m_inner.deleteKey(hive, key);
}

void ReadOnlyHiveRegistry::writeString(Hive hive, const QString &key, const QString &name, const QString &value)
{
    refuse(hive);
    m_inner.writeString(hive, key, name, value);
}

void ReadOnlyHiveRegistry::writeBytes(Hive hive, const QString &key, const QString &name, const QByteArray &value)
{
    refuse(hive);
    m_inner.writeBytes(hive, key, name, value);
}

void ScriptedPrompts::clear()
{
    if (!m_answers.empty())
        ADD_FAILURE() << m_answers.size() << " scripted answer(s) were left unused: the prompts they stood for never came";
    m_calls.clear();
    m_answers.clear();
}

} // namespace zk::testing
