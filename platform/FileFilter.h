#pragma once

#include <QStringList>

namespace zk {

// Turns a "Description|*.a;*.b|Other|*.c" filter into Qt name filters
// ("Description (*.[aA] *.[bB])"); patterns match without regard to case,
// so "FOTO.JPG" is offered as a picture, as it would be on Windows.
QStringList nameFiltersFromPipeFilter(const QString &filter);

QString caseInsensitivePattern(const QString &pattern);

} // namespace zk
