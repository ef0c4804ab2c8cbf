// SPDX-License-Identifier: MIT
#include "ui/set/setdialog.h"

#include "engine/mib/mibinfo.h"
#include "engine/mib/oidtext.h"
#include "ui/widgets/uifont.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QVBoxLayout>

namespace {

QString text(const std::string &s)
{
    return QString::fromStdString(s);
}

QString dotted(const std::vector<uint32_t> &oid)
{
    QString out;
    for (const uint32_t id : oid)
        out += QLatin1Char('.') + QString::number(id);
    return out;
}

// An enumerated INTEGER of the MIB, edited as a drop-down of its labels.
bool byLabels(const SetBinding &b)
{
    return b.object && !b.overridden && b.type == SetType::Integer && !b.object->enums.empty();
}

bool byBits(const SetBinding &b)
{
    return b.object && !b.overridden && b.type == SetType::Bits && !b.object->enums.empty();
}

} // namespace

TSetDialog::TSetDialog(QWidget *owner, const SetEdit &edit) : QDialog(owner), m_bindings(edit.bindings)
{
    setObjectName(QStringLiteral("SetDialog"));
    setWindowTitle(tr("Set Value"));
    setFont(norvaneFont());
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    if (m_bindings.empty())
        m_bindings.push_back(setBindingFor({}, {}, nullptr));
    createControls(edit);
    lstBindings->setCurrentRow(0);
    showBinding(0);
    (edtValue->isHidden() ? static_cast<QWidget *>(cboEnum) : edtValue)->setFocus();
}

TSetDialog::~TSetDialog()
{
    if (edtCommunity) {
        const QString typed = edtCommunity->text();
        volatile char16_t *p = const_cast<char16_t *>(reinterpret_cast<const char16_t *>(typed.constData()));
        for (qsizetype i = 0; i < typed.size(); ++i)
            p[i] = 0;
        edtCommunity->clear();
    }
}

void TSetDialog::createControls(const SetEdit &edit)
{
    auto *form = new QFormLayout;
    const auto addRow = [&](const QString &caption, QWidget *field, const char *name) {
        field->setObjectName(QLatin1String(name));
        auto *label = new QLabel(caption, this);
        label->setBuddy(field);
        field->setAccessibleName(QString(caption).remove(QLatin1Char('&')).remove(QLatin1Char(':')));
        form->addRow(label, field);
        return label;
    };
    lblAgent = new QLabel(tr("%1 (%2)").arg(edit.agent, edit.credentials), this);
    lblAgent->setTextFormat(Qt::PlainText);
    lblAgent->setObjectName(QStringLiteral("lblAgent"));
    form->addRow(new QLabel(tr("Agent:"), this), lblAgent);

    lstBindings = new QListWidget(this);
    lstBindings->setMaximumHeight(90);
    addRow(tr("&Bindings:"), lstBindings, "lstBindings");
    btnAdd = new QPushButton(tr("A&dd Binding"), this);
    btnAdd->setObjectName(QStringLiteral("btnAdd"));
    btnRemove = new QPushButton(tr("Re&move Binding"), this);
    btnRemove->setObjectName(QStringLiteral("btnRemove"));
    for (QPushButton *b : {btnAdd, btnRemove})
        b->setAutoDefault(false);
    auto *listButtons = new QHBoxLayout;
    listButtons->addWidget(btnAdd);
    listButtons->addWidget(btnRemove);
    listButtons->addStretch();
    form->addRow(QString(), listButtons);

    edtObject = new QLineEdit(this);
    addRow(tr("&Object:"), edtObject, "edtObject");
    lblObject = new QLabel(this);
    lblObject->setObjectName(QStringLiteral("lblObject"));
    lblObject->setTextFormat(Qt::PlainText);
    lblObject->setWordWrap(true);
    form->addRow(QString(), lblObject);
    lblCurrent = new QLabel(this);
    lblCurrent->setTextFormat(Qt::PlainText);
    lblCurrent->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addRow(tr("Current value:"), lblCurrent);
    lblCurrent->setObjectName(QStringLiteral("lblCurrent"));

    cboType = new QComboBox(this);
    for (const SetType type : AllSetTypes)
        cboType->addItem(QString::fromLatin1(setTypeName(type)));
    chkOverride = new QCheckBox(tr("O&verride the MIB's type"), this);
    chkOverride->setObjectName(QStringLiteral("chkOverride"));
    auto *typeRow = new QHBoxLayout;
    typeRow->addWidget(cboType, 1);
    typeRow->addWidget(chkOverride);
    cboType->setObjectName(QStringLiteral("cboType"));
    cboType->setAccessibleName(tr("Type"));
    auto *lblType = new QLabel(tr("&Type:"), this);
    lblType->setBuddy(cboType);
    form->addRow(lblType, typeRow);
    cboFormat = new QComboBox(this);
    cboFormat->addItems({tr("Text"), tr("Hex"), tr("By DISPLAY-HINT")});
    addRow(tr("&Format:"), cboFormat, "cboFormat");

    edtValue = new QLineEdit(this);
    cboEnum = new QComboBox(this);
    cboEnum->setObjectName(QStringLiteral("cboEnum"));
    cboEnum->setAccessibleName(tr("New value"));
    grpBits = new QGroupBox(this);
    grpBits->setObjectName(QStringLiteral("grpBits"));
    grpBits->setLayout(new QVBoxLayout);
    auto *value = new QVBoxLayout;
    value->setContentsMargins(0, 0, 0, 0);
    value->addWidget(edtValue);
    value->addWidget(cboEnum);
    value->addWidget(grpBits);
    edtValue->setObjectName(QStringLiteral("edtValue"));
    edtValue->setAccessibleName(tr("New value"));
    auto *lblValue = new QLabel(tr("&New value:"), this);
    lblValue->setBuddy(edtValue);
    form->addRow(lblValue, value);

    lblProblem = new QLabel(this);
    lblProblem->setObjectName(QStringLiteral("lblProblem"));
    lblWarning = new QLabel(this);
    lblWarning->setObjectName(QStringLiteral("lblWarning"));
    for (QLabel *l : {lblProblem, lblWarning}) {
        l->setTextFormat(Qt::PlainText);
        l->setWordWrap(true);
        form->addRow(QString(), l);
    }
    lblProblem->setStyleSheet(QStringLiteral("color: #b00000;"));

    if (edit.askCommunity) {
        edtCommunity = new QLineEdit(this);
        edtCommunity->setEchoMode(QLineEdit::Password);
        addRow(tr("Write &community:"), edtCommunity, "edtCommunity");
        auto *note = new QLabel(tr("The agent has no write community yet. The read community of the Community box is "
                                   "not used for writing unless typed here; it is kept in memory until Norvane exits "
                                   "(Agent Properties can keep it in the keyring)."),
                                this);
        note->setWordWrap(true);
        form->addRow(QString(), note);
        connect(edtCommunity, &QLineEdit::textChanged, this, &TSetDialog::refresh);
    }

    const std::pair<QLabel *, QString> named[] = {{lblAgent, tr("Agent")},      {lblObject, tr("Object's OID and MIB")},
                                                  {lblCurrent, tr("Current value")}, {lblProblem, tr("Rule broken")},
                                                  {lblWarning, tr("Warning")}};
    for (const auto &[label, name] : named)
        label->setAccessibleName(name);

    auto *buttons = new QDialogButtonBox(this);
    btnSet = buttons->addButton(tr("&Set..."), QDialogButtonBox::AcceptRole);
    btnSet->setObjectName(QStringLiteral("btnSet"));
    btnSet->setDefault(true);
    QPushButton *cancel = buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("btnCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    setMinimumWidth(520);

    connect(lstBindings, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0 && row < int(m_bindings.size()))
            showBinding(row);
    });
    connect(btnAdd, &QPushButton::clicked, this, [this] {
        m_bindings.push_back(setBindingFor({}, {}, nullptr));
        lstBindings->addItem(QString());
        lstBindings->setCurrentRow(int(m_bindings.size()) - 1);
        edtObject->setFocus();
    });
    connect(btnRemove, &QPushButton::clicked, this, [this] {
        if (m_bindings.size() < 2)
            return;
        const int row = m_current;
        m_bindings.erase(m_bindings.begin() + row);
        m_current = std::min(row, int(m_bindings.size()) - 1);
        delete lstBindings->takeItem(row);
        showBinding(lstBindings->currentRow());
    });
    connect(edtObject, &QLineEdit::editingFinished, this, &TSetDialog::objectEdited);
    connect(cboType, &QComboBox::currentIndexChanged, this, &TSetDialog::bindingEdited);
    connect(chkOverride, &QCheckBox::toggled, this, [this](bool on) {
        if (m_showing)
            return;
        SetBinding &b = current();
        b.overridden = on || !b.object || !mibSetType(*b.object);
        if (!b.overridden)
            b.type = *mibSetType(*b.object);
        showBinding(m_current);
    });
    connect(cboFormat, &QComboBox::currentIndexChanged, this, &TSetDialog::formatChosen);
    connect(edtValue, &QLineEdit::textEdited, this, &TSetDialog::bindingEdited);
    connect(cboEnum, &QComboBox::currentIndexChanged, this, &TSetDialog::bindingEdited);
    for (size_t i = 0; i < m_bindings.size(); ++i)
        lstBindings->addItem(QString());
}

void TSetDialog::showBinding(int row)
{
    if (row < 0)
        return;
    m_current = row;
    m_showing = true;
    const SetBinding &b = m_bindings[size_t(row)];
    edtObject->setText(text(b.name.empty() ? dotted(b.oid).toStdString() : b.name));
    if (b.object) {
        lblObject->setText(tr("%1  %2, MAX-ACCESS %3").arg(dotted(b.oid), text(b.object->typeName),
                                                           text(b.object->access)));
    } else {
        lblObject->setText(b.oid.empty() ? tr("Type a name (sysLocation.0) or a dotted OID.")
                                         : tr("%1  not in the loaded MIBs: choose the type").arg(dotted(b.oid)));
    }
    lblCurrent->setText(b.current.empty() ? tr("(not read)") : text(b.current));
    cboType->setCurrentIndex(int(b.type));
    const bool known = b.object && mibSetType(*b.object);
    chkOverride->setEnabled(known);
    chkOverride->setChecked(b.overridden && known);
    cboType->setEnabled(b.overridden);
    cboFormat->setCurrentIndex(int(b.format));
    cboFormat->setEnabled(b.type == SetType::OctetString);

    const bool labels = byLabels(b);
    const bool bits = byBits(b);
    edtValue->setVisible(!labels && !bits);
    cboEnum->setVisible(labels);
    grpBits->setVisible(bits);
    edtValue->setText(text(b.text));
    if (labels) {
        cboEnum->clear();
        int chosen = -1;
        for (const MibNamedNumber &e : b.object->enums) {
            cboEnum->addItem(text(e.label + "(" + std::to_string(e.value) + ")"), text(e.label));
            if (e.label == b.text || std::to_string(e.value) == b.text)
                chosen = cboEnum->count() - 1;
        }
        cboEnum->setCurrentIndex(chosen);
    }
    qDeleteAll(m_bitBoxes);
    m_bitBoxes.clear();
    if (bits) {
        const std::vector<int64_t> set = bitsNamed(b.text, *b.object);
        for (const MibNamedNumber &e : b.object->enums) {
            auto *box = new QCheckBox(text(e.label + "(" + std::to_string(e.value) + ")"), grpBits);
            box->setProperty("bit", qlonglong(e.value));
            box->setChecked(std::find(set.begin(), set.end(), e.value) != set.end());
            grpBits->layout()->addWidget(box);
            connect(box, &QCheckBox::toggled, this, &TSetDialog::bindingEdited);
            m_bitBoxes << box;
        }
    }
    m_showing = false;
    refresh();
}

void TSetDialog::bindingEdited()
{
    if (m_showing)
        return;
    SetBinding &b = current();
    const SetType type = SetType(std::max(0, cboType->currentIndex()));
    if (type != b.type) {
        b.type = type;
        showBinding(m_current); // the value's field follows the type
        return;
    }
    if (byLabels(b)) {
        b.text = cboEnum->currentData().toString().toStdString();
    } else if (byBits(b)) {
        std::vector<int64_t> bits;
        for (QCheckBox *box : m_bitBoxes) {
            if (box->isChecked())
                bits.push_back(box->property("bit").toLongLong());
        }
        b.text = bitsSetText(bits, *b.object);
    } else {
        b.text = edtValue->text().toStdString();
    }
    refresh();
}

void TSetDialog::objectEdited()
{
    SetBinding &b = current();
    const QString typed = edtObject->text().trimmed();
    if (typed == text(b.name) || typed == dotted(b.oid))
        return;
    AsnObjectIdentifier oid;
    if (!SnmpMgrStrToOid(typed.toStdString(), &oid) || oid.ids.size() < 2) {
        lblObject->setText(tr("'%1' is no OID: neither a name the loaded MIBs know nor dotted decimal.").arg(typed));
        b.oid.clear();
        refresh();
        return;
    }
    std::string keep = b.text;
    b = setBindingFor(oid.ids, typed.toStdString(), mibObject(oid.ids));
    b.text = std::move(keep);
    showBinding(m_current);
}

void TSetDialog::formatChosen(int index)
{
    if (m_showing || index < 0)
        return;
    SetBinding &b = current();
    // The value already written carries over, written the new way.
    const SetCheck before = checkSetBinding(b);
    b.format = OctetFormat(index);
    if (before.value) {
        const MibObject *mib = b.object && !b.overridden ? &*b.object : nullptr;
        if (std::optional<std::string> rewritten = setValueText(*before.value, b.type, b.format, mib))
            b.text = *rewritten;
    }
    showBinding(m_current);
}

void TSetDialog::refresh()
{
    bool allPass = true;
    for (size_t i = 0; i < m_bindings.size(); ++i) {
        const SetBinding &b = m_bindings[i];
        const SetCheck check = checkSetBinding(b);
        const bool passes = check.value && !b.oid.empty();
        allPass = allPass && passes;
        const QString name = b.oid.empty() ? tr("(no object)") : text(b.name.empty() ? dotted(b.oid).toStdString() : b.name);
        if (QListWidgetItem *item = lstBindings->item(int(i)))
            item->setText(tr("%1 %2 = %3").arg(passes ? QStringLiteral("  ") : QStringLiteral("! "), name, text(b.text)));
        if (int(i) == m_current) {
            lblProblem->setText(b.oid.empty() ? tr("Name the object.") : text(check.problem));
            lblWarning->setText(text(check.warning));
            lblProblem->setVisible(!lblProblem->text().isEmpty());
            lblWarning->setVisible(!lblWarning->text().isEmpty());
        }
    }
    btnRemove->setEnabled(m_bindings.size() > 1);
    btnSet->setEnabled(allPass && (!edtCommunity || !edtCommunity->text().isEmpty()));
}

Secret TSetDialog::community() const
{
    if (!edtCommunity)
        return {};
    QString typed = edtCommunity->text();
    Secret secret = Secret::fromText(typed);
    wipeText(typed);
    return secret;
}

bool TSetDialog::edit(QWidget *owner, SetEdit &edit)
{
    QPointer<TSetDialog> dialog = new TSetDialog(owner, edit);
    const auto release = qScopeGuard([&dialog] { delete dialog.data(); });
    if (dialog->exec() != QDialog::Accepted || !dialog)
        return false;
    edit.bindings = dialog->bindings();
    edit.community = dialog->community();
    return true;
}
