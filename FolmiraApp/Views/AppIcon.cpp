#include "FolmiraApp/Views/AppIcon.h"

namespace FolmiraApp {

QIcon applicationIcon()
{
    static const QIcon icon = [] {
        QIcon made;
        for (int size : {16, 24, 32, 48, 64, 128, 256, 512})
            made.addFile(QStringLiteral(":/icons/folmira-%1.png").arg(size), QSize(size, size));
        return made;
    }();
    return icon;
}

} // namespace FolmiraApp
