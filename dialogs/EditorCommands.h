#pragma once

#include <QString>

class QChar;

namespace zk {

class THtmlMemo;

// Wraps the editor's selection in a pair of tags and selects the text again
// inside them; with nothing selected the caret ends between the tags.
// Every closing tag the menu uses is four characters long ("</B>").
void wrapSelection(THtmlMemo *editor, const QString &openTag, const QString &closeTag);

// The word characters of the page text: letters, "_" and the Polish letters
// start a word; digits may continue one.
bool Edytorekfn_CharStartsWord(QChar c);
bool Edytorekfn_CharIsInWord(QChar c);

} // namespace zk
