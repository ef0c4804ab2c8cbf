// SPDX-License-Identifier: MIT
#include "ui/dialogs/detailsdialog.h"

#include "engine/mib/mibinfo.h"
#include "ui/widgets/dialogframe.h"
#include "ui/widgets/uifont.h"

#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QAbstractItemView>

#include <algorithm>
#include <numeric>
#include <optional>

namespace {

constexpr int clientWidth = 337;
constexpr int clientHeight = 323;
constexpr int margin = 8;
constexpr int buttonY = 290;
constexpr int buttonWidth = 75;
constexpr int buttonHeight = 25;
constexpr int closeGap = 10; // between Next and Close; Previous and Next touch
constexpr int definitionHeight = 220; // the opened section: its field and the margin below
const char *const tagName = "tag";

QString fromUtf8(const std::string &text)
{
    return QString::fromStdString(text);
}

QString dottedText(const std::vector<uint32_t> &ids)
{
    QString text;
    for (const uint32_t id : ids)
        text += QLatin1Char('.') + QString::number(id);
    return text;
}

QString kindText(const MibDefinition &definition)
{
    const MibObject &object = definition.object;
    const QString index = definition.indexObjects.empty()
        ? QString()
        : QStringLiteral(", INDEX { %1 }")
              .arg(fromUtf8(std::accumulate(std::next(definition.indexObjects.begin()), definition.indexObjects.end(),
                                            definition.indexObjects.front(),
                                            [](const std::string &a, const std::string &b) { return a + ", " + b; })));
    switch (object.kind) {
    case MibKind::Scalar:
        return QStringLiteral("Scalar");
    case MibKind::Column:
        return QStringLiteral("Column of %1%2").arg(fromUtf8(object.parent), index);
    case MibKind::Entry:
        return QStringLiteral("Row of %1").arg(fromUtf8(object.parent));
    case MibKind::Table:
        return QStringLiteral("Table");
    case MibKind::Notification:
        return QStringLiteral("Notification");
    case MibKind::Node:
        break;
    }
    return QStringLiteral("Node");
}

// A DESCRIPTION's lines, broken where the module file was, joined into
// paragraphs for the field to wrap; blank lines and indented ones (lists,
// figures) keep their breaks.
QString paragraphs(const QString &text)
{
    QString out;
    bool joinNext = false;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        const bool keep = line.isEmpty() || line.front().isSpace();
        if (!out.isEmpty())
            out += joinNext && !keep ? QStringLiteral(" ") : QStringLiteral("\n");
        out += line;
        joinNext = !line.isEmpty();
    }
    return out;
}

// The definition of the object a row's OID text names, as the section shows
// it; with what the list notes of how it read the row's value.
QString definitionText(const QString &oidText, const QString &valueNote)
{
    std::vector<uint32_t> ids;
    bool valid = oidText.startsWith(QLatin1Char('.')) && oidText.size() > 1;
    for (const QStringView part : QStringView(oidText).mid(1).split(QLatin1Char('.'))) {
        ids.push_back(part.toUInt(&valid));
        if (!valid)
            break;
    }
    const std::optional<MibDefinition> definition = valid ? mibDefinition(ids) : std::nullopt;
    if (!definition)
        return QStringLiteral("No MIB module describes this object.");

    const MibObject &object = definition->object;
    QStringList lines;
    lines << (object.module.empty() ? fromUtf8(object.label) : fromUtf8(object.module + "::" + object.label))
                 + QStringLiteral(" (") + dottedText(object.oid) + QLatin1Char(')');
    lines << kindText(*definition);
    const QString instance = dottedText(definition->instance);
    if (object.kind == MibKind::Column && definition->indexFits) {
        QStringList parts;
        for (const MibIndexPart &part : definition->index)
            parts << fromUtf8(part.name + " = " + part.value);
        lines << QStringLiteral("Index: ") + parts.join(QStringLiteral(", "));
    } else if (object.kind == MibKind::Column) {
        lines << QStringLiteral("Index: %1 (does not decode by the INDEX)").arg(instance);
    } else if (!definition->instance.empty()) {
        lines << QStringLiteral("Instance: %1%2")
                     .arg(instance, definition->indexFits ? QString() : QStringLiteral(" (a scalar's is .0)"));
    }
    const std::pair<const char *, std::string> fields[] = {
        {"Syntax", object.typeName.empty() ? std::string() : mibSyntaxText(object)},
        {"Units", object.units},
        {"Display hint", object.hint},
        {"Access", object.access},
        {"Status", object.status},
    };
    for (const auto &[caption, value] : fields) {
        if (!value.empty())
            lines << QString::fromLatin1(caption) + QStringLiteral(": ") + fromUtf8(value);
    }
    if (!valueNote.isEmpty())
        lines << QStringLiteral("Value: ") + valueNote;
    if (!definition->description.empty())
        lines << QString() << paragraphs(fromUtf8(definition->description));
    return lines.join(QLatin1Char('\n'));
}

} // namespace

TDetailsDialog::TDetailsDialog(QAbstractItemView *listView, QWidget *owner)
    : QDialog(owner)
    , m_list(listView)
{
    setObjectName(QStringLiteral("DetailsDialog"));
    setWindowTitle(tr("Object Details"));
    setFont(norvaneFont());
    setFixedDialogFrame(this, QSize(clientWidth, clientHeight));
    createControls();
    fitButtons();
    edtOid->setFocus();
}

void TDetailsDialog::createControls()
{
    edtOid = createField("edtOid", tr("&Object identifier:"), 2, 16, 65, true);
    edtName = createField("edtName", tr("Na&me:"), 82, 96, 65, true);
    edtType = createField("edtType", tr("&Type:"), 162, 176, 25, false);
    edtValue = createField("edtValue", tr("&Value:"), 202, 216, 65, true);

    const auto makeButton = [this](const char *name, const QString &caption, int x) {
        auto *button = new QPushButton(caption, this);
        button->setObjectName(QLatin1String(name));
        button->setGeometry(x, buttonY, buttonWidth, buttonHeight);
        // No default button: Enter belongs to the text fields.
        button->setAutoDefault(false);
        button->setDefault(false);
        return button;
    };
    btnPrev = makeButton("btnPrev", tr("< &Previous"), 94);
    btnNext = makeButton("btnNext", tr("&Next >"), 169);
    btnClose = makeButton("btnClose", tr("&Close"), 254);
    // Left of the specified row of buttons, and out of the Tab chain: closed,
    // the dialog goes round its fields and buttons as it always has; Alt+D
    // or a click opens the section, and the button stays down while it is open.
    btnDefinition = makeButton("btnDefinition", tr("&Definition"), margin);
    btnDefinition->setCheckable(true);
    btnDefinition->setFocusPolicy(Qt::ClickFocus);
    btnDefinition->setToolTip(tr("The object's definition in its MIB module"));
    connect(btnDefinition, &QPushButton::clicked, this, &TDetailsDialog::toggleDefinition);

    edtDefinition = createField("edtDefinition", QString(), 0, clientHeight, definitionHeight - margin, true);
    edtDefinition->setAccessibleName(tr("Definition"));
    edtDefinition->hide();

    // The step buttons carry their step through the list as their tag.
    btnPrev->setProperty(tagName, -1);
    btnNext->setProperty(tagName, 1);
    for (QPushButton *button : {btnPrev, btnNext})
        connect(button, &QPushButton::clicked, this, [this, button] { GroupClick(button); });
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);

    setTabOrder(edtOid, edtName);
    setTabOrder(edtName, edtType);
    setTabOrder(edtType, edtValue);
    setTabOrder(edtValue, btnPrev);
    setTabOrder(btnPrev, btnNext);
    setTabOrder(btnNext, btnClose);
    setTabOrder(btnClose, edtDefinition);
}

QPlainTextEdit *TDetailsDialog::createField(const char *name, const QString &caption, int labelY, int fieldY,
                                            int height, bool tall)
{
    auto *field = new QPlainTextEdit(this);
    field->setObjectName(QLatin1String(name));
    field->setGeometry(margin, fieldY, clientWidth - 2 * margin, height);
    field->setReadOnly(true);
    // Read-only, but the text can still be selected, by mouse and keyboard, and copied.
    field->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    field->setTabChangesFocus(true);
    field->setUndoRedoEnabled(false);
    QPalette palette = field->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    field->setPalette(palette);
    field->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    if (tall) {
        field->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        field->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    } else {
        field->setLineWrapMode(QPlainTextEdit::NoWrap);
        field->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    }

    if (caption.isEmpty())
        return field;
    auto *label = new QLabel(caption, this);
    label->setBuddy(field);
    // The label sits in the 14 pixels above its field; a font taller than
    // that would have the field cover the label's lower edge, so the label
    // stays on top and takes the height its text needs.
    const QSize hint = label->sizeHint();
    label->setGeometry(margin, labelY, hint.width(), std::max(14, hint.height()));
    label->raise();
    return field;
}

// Widens the buttons when a caption does not fit the design's 75 pixels in
// the font at hand, keeping their order, gaps and right margin; the dialog
// grows only when the row of buttons would no longer fit.
void TDetailsDialog::fitButtons()
{
    const int needed = std::max({captionWidth(btnPrev), captionWidth(btnNext), captionWidth(btnClose)});
    btnDefinition->resize(std::max(buttonWidth, captionWidth(btnDefinition)), buttonHeight);
    if (needed <= buttonWidth)
        return;
    const int width = needed;
    const int rowWidth = 3 * width + closeGap;
    const int clientW = std::max(clientWidth, rowWidth + 2 * margin);
    const int closeX = clientW - margin - width;
    btnClose->setGeometry(closeX, buttonY, width, buttonHeight);
    btnNext->setGeometry(closeX - closeGap - width, buttonY, width, buttonHeight);
    btnPrev->setGeometry(closeX - closeGap - 2 * width, buttonY, width, buttonHeight);
    if (clientW != clientWidth) {
        setFixedSize(clientW, clientHeight);
        for (QPlainTextEdit *field : {edtOid, edtName, edtType, edtValue, edtDefinition})
            field->resize(clientW - 2 * margin, field->height());
    }
}

void TDetailsDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

// Esc presses Close while a button has the focus; the text fields keep Esc
// (and Enter) for themselves, so there it does nothing. With no default
// button, Enter presses the focused button only, as Space does.
void TDetailsDialog::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        if (!qobject_cast<QPlainTextEdit *>(focusWidget()))
            btnClose->click();
        event->accept();
        return;
    }
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        auto *button = qobject_cast<QPushButton *>(focusWidget());
        if (button && button->isEnabled())
            button->click();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TDetailsDialog::FormShow()
{
    refresh();
}

void TDetailsDialog::GroupClick(QAbstractButton *button)
{
    step(button->property(tagName).toInt());
}

void TDetailsDialog::refresh()
{
    const int i = selectedRow();
    const QAbstractItemModel *model = m_list->model();
    const int n = model ? model->rowCount(m_list->rootIndex()) : 0;
    // The list always has a selected row when the dialog opens; without one
    // there is nothing to show and nowhere to step from.
    if (i < 0 || i >= n) {
        btnPrev->setEnabled(false);
        btnNext->setEnabled(false);
        for (QPlainTextEdit *field : {edtOid, edtName, edtType, edtValue})
            field->clear();
        edtValue->setToolTip(QString());
        return;
    }
    btnPrev->setEnabled(i != 0);
    btnNext->setEnabled(i != n - 1);
    const auto text = [&](int column) {
        return model->index(i, column, m_list->rootIndex()).data(Qt::DisplayRole).toString();
    };
    edtOid->setPlainText(text(0));
    edtName->setPlainText(text(1));
    edtType->setPlainText(text(2));
    edtValue->setPlainText(text(3));
    edtValue->setToolTip(model->index(i, 3, m_list->rootIndex()).data(Qt::ToolTipRole).toString());
    refreshDefinition();
}

void TDetailsDialog::toggleDefinition()
{
    const bool open = btnDefinition->isChecked();
    setFixedSize(width(), clientHeight + (open ? definitionHeight : 0));
    edtDefinition->setVisible(open);
    refreshDefinition();
}

// Read only while the section is open: stepping with it closed costs no lookup.
void TDetailsDialog::refreshDefinition()
{
    if (edtDefinition->isHidden())
        return;
    const int i = selectedRow();
    const QAbstractItemModel *model = m_list->model();
    if (i < 0 || !model || i >= model->rowCount(m_list->rootIndex())) {
        edtDefinition->clear();
        return;
    }
    const auto data = [&](int column, int role) { return model->index(i, column, m_list->rootIndex()).data(role).toString(); };
    edtDefinition->setPlainText(definitionText(data(0, Qt::DisplayRole), data(3, Qt::ToolTipRole)));
}

void TDetailsDialog::step(int t)
{
    const int i = selectedRow();
    QAbstractItemModel *model = m_list->model();
    if (i < 0 || !model)
        return;
    const int j = i + t;
    if (j < 0 || j >= model->rowCount(m_list->rootIndex()))
        return;

    const QModelIndex target = model->index(j, 0, m_list->rootIndex());
    QItemSelectionModel *selection = m_list->selectionModel();
    selection->select(target, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);

    // A view scrolls to its new current row by itself, even to a row that
    // is already partly in sight; the scrolling here is ours alone.
    const bool autoScroll = m_list->hasAutoScroll();
    m_list->setAutoScroll(false);
    selection->setCurrentIndex(target, QItemSelectionModel::NoUpdate);
    m_list->setAutoScroll(autoScroll);

    if (!isPartlyVisible(target)) {
        // Bring the row into sight vertically; the columns stay as they are.
        QScrollBar *horizontal = m_list->horizontalScrollBar();
        const int x = horizontal->value();
        m_list->scrollTo(target, QAbstractItemView::EnsureVisible);
        horizontal->setValue(x);
    }
    refresh();
}

int TDetailsDialog::selectedRow() const
{
    const QItemSelectionModel *selection = m_list->selectionModel();
    if (!selection)
        return -1;
    const QModelIndexList indexes = selection->selectedIndexes();
    return indexes.isEmpty() ? -1 : indexes.first().row();
}

bool TDetailsDialog::isPartlyVisible(const QModelIndex &index) const
{
    const QRect cell = m_list->visualRect(index);
    if (cell.isEmpty())
        return false;
    // The row counts, not the cell: a row whose first column is scrolled
    // aside is still in sight.
    const QRect viewport = m_list->viewport()->rect();
    return QRect(viewport.left(), cell.top(), viewport.width(), cell.height()).intersects(viewport);
}
