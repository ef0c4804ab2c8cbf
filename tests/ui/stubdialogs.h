// SPDX-License-Identifier: MIT
#pragma once

// The window's questions, answered by the test and recorded. The log is kept
// apart from the service because it must outlive the window: the settings
// are written, and their failure shown, while the window is destroyed.

#include "ui/dialogservice.h"

#include <QStringList>

#include <functional>
#include <optional>

struct DialogLog
{
    QStringList errors;
    QStringList asked;    // the initial name of each save dialog
    QStringList replaced; // the files each replace question named
    std::function<std::optional<QString>()> answerFile = [] { return std::nullopt; };
    bool answerReplace = false;
};

class StubDialogs final : public DialogService
{
public:
    explicit StubDialogs(DialogLog &log) : m_log(log) {}
    void showError(QWidget *, const QString &message) override { m_log.errors << message; }
    void openDetails(QWidget *, QAbstractItemView *) override {}
    bool editOptions(QWidget *, int &, int &) override { return false; }
    void openAbout(QWidget *) override {}
    std::optional<QString> askSaveFileName(QWidget *, const QString &initialName) override
    {
        m_log.asked << initialName;
        return m_log.answerFile();
    }
    bool confirmReplace(QWidget *, const QString &fileName) override
    {
        m_log.replaced << fileName;
        return m_log.answerReplace;
    }

private:
    DialogLog &m_log;
};
