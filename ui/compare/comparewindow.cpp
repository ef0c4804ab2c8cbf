// SPDX-License-Identifier: MIT
#include "ui/compare/comparewindow.h"

#include "ui/compare/comparemodel.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QVBoxLayout>

TCompareWindow::TCompareWindow(QWidget *owner) : FrameWindow(owner)
{
    setObjectName(QStringLiteral("CompareWindow"));
    setWindowTitle(QStringLiteral("Compare"));
    resize(1040, 480);
    m_model = new CompareModel(this);

    cboShow = new QComboBox;
    cboShow->setObjectName(QStringLiteral("cboShow"));
    cboShow->addItems({QStringLiteral("All changes"), QStringLiteral("Changed only"), QStringLiteral("Added only"),
                       QStringLiteral("Removed only")});
    auto *lblShow = new QLabel(QStringLiteral("&Show:"));
    lblShow->setBuddy(cboShow);
    edtName = new QLineEdit;
    edtName->setObjectName(QStringLiteral("edtName"));
    edtName->setPlaceholderText(QStringLiteral("a name or OID holds..."));
    edtName->setClearButtonEnabled(true);
    auto *lblName = new QLabel(QStringLiteral("&Name:"));
    lblName->setBuddy(edtName);
    lblSummary = new QLabel;
    lblSummary->setObjectName(QStringLiteral("lblSummary"));
    lblSummary->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_changes = new QTableView;
    m_changes->setObjectName(QStringLiteral("tvChanges"));
    m_changes->setModel(m_model);
    m_changes->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_changes->setWordWrap(false);
    m_changes->verticalHeader()->hide();
    // Uniform row heights: a comparison may list a hundred thousand changes.
    m_changes->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_changes->verticalHeader()->setDefaultSectionSize(m_changes->fontMetrics().height() + 4);
    m_changes->horizontalHeader()->setStretchLastSection(true);
    const int widths[CompareModel::ColumnCount] = {66, 190, 230, 90, 130, 130, 80, 80};
    for (int column = 0; column < CompareModel::ColumnCount; ++column)
        m_changes->setColumnWidth(column, widths[column]);

    auto *filters = new QHBoxLayout;
    filters->addWidget(lblShow);
    filters->addWidget(cboShow);
    filters->addSpacing(12);
    filters->addWidget(lblName);
    filters->addWidget(edtName, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(m_changes, 1);
    layout->addWidget(lblSummary);

    connect(cboShow, &QComboBox::currentIndexChanged, this,
            [this](int index) { m_model->setShow(CompareModel::Show(index)); });
    // Typing waits a moment: each filter reads every change.
    m_filterTimer.setSingleShot(true);
    m_filterTimer.setInterval(FilterDelayMs);
    connect(edtName, &QLineEdit::textChanged, &m_filterTimer, qOverload<>(&QTimer::start));
    connect(&m_filterTimer, &QTimer::timeout, this, [this] { m_model->setNameFilter(edtName->text()); });
}

void TCompareWindow::showComparison(WalkComparison comparison, const QString &olderName, const QString &newerName)
{
    m_model->setComparison(std::move(comparison));
    setWindowTitle(QStringLiteral("Compare: %1 \u2192 %2").arg(olderName, newerName));
    lblSummary->setText(m_model->summary());
}
