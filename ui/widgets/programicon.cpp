// SPDX-License-Identifier: MIT
#include "ui/widgets/programicon.h"

QIcon programIcon()
{
    // The large drawing comes first; the small ones are drawn for their
    // sizes rather than scaled down. A file that is not there adds nothing.
    static const char *const files[] = {
        ":/images/norvane.png",    ":/images/norvane-128.png", ":/images/norvane-64.png",
        ":/images/norvane-48.png", ":/images/norvane-32.png",  ":/images/norvane-16.png",
    };
    QIcon icon;
    for (const char *file : files)
        icon.addFile(QString::fromLatin1(file));
    return icon;
}
