#include "OpenFileDialog.h"

#include "Prompts.h"
#include "Services.h"

namespace zk {

bool OpenFileDialog::Execute(QWidget *owner)
{
    const QString chosen = services().prompts->openFile({Title, Filter, FileName, InitialDir, DefaultExt}, owner);
    if (chosen.isEmpty())
        return false;
    FileName = chosen;
    return true;
}

} // namespace zk
