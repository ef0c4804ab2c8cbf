// SPDX-License-Identifier: MIT
#pragma once

// An empty settings folder of the test's own: a temporary folder that
// XDG_CONFIG_HOME points at from its creation on. The variable is not put
// back; the next folder made replaces it.

#include <QFile>
#include <QTemporaryDir>

class ConfigHome : public QTemporaryDir
{
public:
    ConfigHome()
    {
        if (isValid())
            qputenv("XDG_CONFIG_HOME", QFile::encodeName(path()));
    }
};
