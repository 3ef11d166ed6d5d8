#pragma once

// Alt+letter must reach one control of a window: the captions that share a
// mnemonic letter, per letter.
#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QMap>
#include <QStringList>
#include <QWidget>

namespace zk::testing {

// The letter after a single "&" of a caption, lower case; none for "&&".
inline QChar mnemonicOf(const QString &text)
{
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != u'&')
            continue;
        if (text[i + 1] == u'&') {
            ++i;
            continue;
        }
        return text[i + 1].toLower();
    }
    return {};
}

// The captions of the labels, buttons and group boxes under `root`.
inline QStringList captionsIn(const QWidget *root)
{
    QStringList texts;
    for (const QWidget *w : root->findChildren<QWidget *>()) {
        if (auto *l = qobject_cast<const QLabel *>(w))
            texts << l->text();
        else if (auto *b = qobject_cast<const QAbstractButton *>(w))
            texts << b->text();
        else if (auto *g = qobject_cast<const QGroupBox *>(w))
            texts << g->title();
    }
    return texts;
}

// Every letter that more than one of `captions` claims, with those captions.
inline QMap<QChar, QStringList> clashingMnemonics(const QStringList &captions)
{
    QMap<QChar, QStringList> owners;
    for (const QString &text : captions)
        if (const QChar m = mnemonicOf(text); !m.isNull())
            owners[m] << text;
    QMap<QChar, QStringList> clashes;
    for (auto it = owners.begin(); it != owners.end(); ++it)
        if (it.value().size() > 1)
            clashes.insert(it.key(), it.value());
    return clashes;
}

} // namespace zk::testing
