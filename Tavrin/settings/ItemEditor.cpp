#include "settings/ItemEditor.h"

#include "settings/NoteLabel.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <utility>

using tavrin::ActionType;
using tavrin::SpecialKey;

ItemEditor::ItemEditor(const tavrin::MenuItem& item,
                       std::function<void(const tavrin::MenuItem&)> onSave,
                       std::function<void()> onCancel, QWidget* parent)
    : QDialog(parent), model_(item), onSave_(std::move(onSave)), onCancel_(std::move(onCancel)),
      labelField_(new QLineEdit(this)), actionTypePicker_(new QComboBox(this)),
      actionForm_(new QFormLayout), textField_(new QLineEdit(this)),
      textNote_(new NoteLabel("The text that will be inserted (e.g. @ or / or any string)",
                              NoteLabel::Tone::secondary, this)),
      keyPicker_(new QComboBox(this)), saveButton_(new QPushButton("Save", this)) {
    setObjectName("ItemEditor");
    setWindowTitle("Menu Item");
    setWindowModality(Qt::WindowModal);
    setFixedSize(fixedSize);

    auto* cancelButton = new QPushButton("Cancel");
    cancelButton->setObjectName("cancelButton");
    cancelButton->setAutoDefault(false);
    saveButton_->setObjectName("saveButton");
    saveButton_->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cancelButton);
    buttons->addStretch();
    buttons->addWidget(saveButton_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(labelSection());
    layout->addWidget(actionSection());
    layout->addStretch();
    layout->addLayout(buttons);

    connectFields(cancelButton);
    refresh();
}

QGroupBox* ItemEditor::labelSection() {
    labelField_->setObjectName("labelField");
    labelField_->setText(QString::fromStdString(model_.label()));
    auto* labelNote = new NoteLabel("The text shown in the popup menu", NoteLabel::Tone::secondary);
    labelNote->setObjectName("labelNote");

    auto* section = new QGroupBox("Label");
    section->setObjectName("labelSection");
    auto* form = new QFormLayout(section);
    form->addRow("Menu item label", labelField_);
    form->addRow(labelNote);
    return section;
}

QGroupBox* ItemEditor::actionSection() {
    actionTypePicker_->setObjectName("actionTypePicker");
    for (ActionType type : tavrin::actionType::allCases)
        actionTypePicker_->addItem(QString::fromUtf8(tavrin::actionType::rawValue(type)));
    textField_->setObjectName("textField");
    textField_->setText(QString::fromStdString(model_.textValue()));
    textNote_->setObjectName("textNote");
    keyPicker_->setObjectName("keyPicker");
    for (SpecialKey key : tavrin::specialKey::allCases)
        keyPicker_->addItem(QString::fromStdString(tavrin::ItemEditorModel::keyRowText(key)));

    auto* section = new QGroupBox("Action");
    section->setObjectName("actionSection");
    section->setLayout(actionForm_);
    actionForm_->addRow("Action type", actionTypePicker_);
    actionForm_->addRow("Text to type", textField_);
    actionForm_->addRow(textNote_);
    actionForm_->addRow("Special key", keyPicker_);
    return section;
}

void ItemEditor::connectFields(QPushButton* cancelButton) {
    connect(labelField_, &QLineEdit::textEdited, this, [this](const QString& text) {
        model_.setLabel(text.toStdString());
        refresh();
    });
    connect(textField_, &QLineEdit::textEdited, this, [this](const QString& text) {
        model_.setTextValue(text.toStdString());
        refresh();
    });
    connect(actionTypePicker_, &QComboBox::activated, this, [this](int index) {
        model_.setActionType(tavrin::actionType::allCases.at(static_cast<std::size_t>(index)));
        refresh();
    });
    connect(keyPicker_, &QComboBox::activated, this, [this](int index) {
        model_.setKeyValue(tavrin::specialKey::allCases.at(static_cast<std::size_t>(index)));
        refresh();
    });
    connect(cancelButton, &QPushButton::clicked, this, [this] { onCancel_(); });
    connect(saveButton_, &QPushButton::clicked, this, [this] {
        if (model_.saveEnabled())
            onSave_(model_.result());
    });
}

void ItemEditor::reject() {
    onCancel_();
}

void ItemEditor::refresh() {
    const QString label = QString::fromStdString(model_.label());
    if (labelField_->text() != label)
        labelField_->setText(label);
    const bool typesText = model_.actionType() == ActionType::text;
    actionTypePicker_->setCurrentIndex(static_cast<int>(model_.actionType()));
    actionForm_->setRowVisible(textField_, typesText);
    actionForm_->setRowVisible(textNote_, typesText);
    actionForm_->setRowVisible(keyPicker_, !typesText);
    keyPicker_->setCurrentIndex(static_cast<int>(model_.keyValue()));
    saveButton_->setEnabled(model_.saveEnabled());
}
