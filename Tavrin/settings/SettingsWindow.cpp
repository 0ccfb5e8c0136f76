#include "settings/SettingsWindow.h"

#include "settings/EntryList.h"
#include "settings/ItemEditor.h"
#include "settings/NoteLabel.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int bottomMargin = 8;

QString text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

} // namespace

SettingsWindow::SettingsWindow(tavrin::ClickController& controller, QWidget* parent)
    : QWidget(parent, Qt::Window), controller_(controller), model_(controller) {
    setObjectName("SettingsWindow");
    setWindowTitle("Tavrin Settings");
    setFixedSize(fixedSize);

    auto* layout = new QVBoxLayout(this);
    const QMargins standard = layout->contentsMargins();
    layout->setContentsMargins(standard.left(), standard.top(), standard.right(), bottomMargin);
    layout->addWidget(buildPermissionSection());
    layout->addWidget(buildMouseSection());
    layout->addWidget(buildItemsSection());
    layout->addWidget(buildGeneralSection());
    saveNotice_ = new NoteLabel(QString(), NoteLabel::Tone::normal);
    saveNotice_->setObjectName("saveNotice");
    layout->addWidget(saveNotice_);
    layout->addStretch();

    observer_ = controller_.addObserver([this] { refresh(); });
    refresh();
}

SettingsWindow::~SettingsWindow() {
    controller_.removeObserver(observer_);
}

QGroupBox* SettingsWindow::buildPermissionSection() {
    permissionSection_ = new QGroupBox("Permission needed");
    permissionSection_->setObjectName("permissionSection");
    auto* explanation = new NoteLabel(
        "Tavrin needs Accessibility access to watch your spare mouse button and type on your "
        "behalf. Nothing works until it's granted \u2014 one time only.",
        NoteLabel::Tone::normal);
    explanation->setObjectName("permissionText");
    auto* grant = new QPushButton("Grant in System Settings\u2026");
    grant->setObjectName("grantButton");
    connect(grant, &QPushButton::clicked, this, [this] { controller_.requestAccessibility(); });

    auto* layout = new QVBoxLayout(permissionSection_);
    layout->addWidget(explanation);
    layout->addWidget(grant, 0, Qt::AlignLeft);
    return permissionSection_;
}

QGroupBox* SettingsWindow::buildMouseSection() {
    auto* section = new QGroupBox("Mouse button");
    section->setObjectName("mouseSection");

    auto* valueName = new QLabel("Assigned button");
    valueName->setObjectName("assignedButtonLabel");
    assignedButtonValue_ = new QLabel;
    assignedButtonValue_->setObjectName("assignedButtonValue");
    auto* valueRow = new QHBoxLayout;
    valueRow->addWidget(valueName);
    valueRow->addStretch();
    valueRow->addWidget(assignedButtonValue_);

    assignButton_ = new QPushButton;
    assignButton_->setObjectName("assignButton");
    connect(assignButton_, &QPushButton::clicked, this, [this] { controller_.beginAssign(); });
    clearButton_ = new QPushButton("Clear");
    clearButton_->setObjectName("clearButton");
    connect(clearButton_, &QPushButton::clicked, this,
            [this] { controller_.clearAssignedButton(); });
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addWidget(assignButton_, 0, Qt::AlignVCenter);
    buttonRow->addWidget(clearButton_, 0, Qt::AlignVCenter);
    buttonRow->addStretch();

    auto* note = new NoteLabel("Click Assign, then press the spare button on your mouse. Left and "
                               "right clicks can't be assigned \u2014 only extra buttons.",
                               NoteLabel::Tone::secondary);
    note->setObjectName("mouseNote");

    auto* layout = new QVBoxLayout(section);
    layout->addLayout(valueRow);
    layout->addLayout(buttonRow);
    layout->addWidget(note);
    return section;
}

QGroupBox* SettingsWindow::buildItemsSection() {
    auto* section = new QGroupBox("Popup menu items");
    section->setObjectName("itemsSection");

    entryList_ = new EntryList;
    connect(entryList_, &EntryList::editRequested, this, &SettingsWindow::editAt);
    connect(entryList_, &EntryList::deleteRequested, this, &SettingsWindow::deleteAt);
    connect(entryList_, &EntryList::removeRequested, this,
            [this](int offset) { model_.removeAt({static_cast<std::size_t>(offset)}); });
    connect(entryList_, &EntryList::moveRequested, this, [this](int source, int destination) {
        model_.move({static_cast<std::size_t>(source)}, static_cast<std::size_t>(destination));
    });

    addButton_ = new QPushButton;
    addButton_->setObjectName("addButton");
    connect(addButton_, &QPushButton::clicked, this, [this] {
        model_.add();
        syncEditor();
    });
    maximumReached_ = new NoteLabel("(maximum reached)", NoteLabel::Tone::secondary);
    maximumReached_->setObjectName("maximumReachedLabel");
    maximumReached_->setWordWrap(false);
    auto* addRow = new QHBoxLayout;
    addRow->addWidget(addButton_);
    addRow->addWidget(maximumReached_);
    addRow->addStretch();

    auto* note = new NoteLabel(
        "Press the assigned button anywhere: the menu opens at your cursor and the choice is "
        "typed into the app in front. Click elsewhere to dismiss.",
        NoteLabel::Tone::secondary);
    note->setObjectName("itemsNote");

    auto* layout = new QVBoxLayout(section);
    layout->addWidget(entryList_);
    layout->addLayout(addRow);
    layout->addWidget(note);
    return section;
}

QGroupBox* SettingsWindow::buildGeneralSection() {
    auto* section = new QGroupBox("General");
    section->setObjectName("generalSection");
    enabledToggle_ = new QCheckBox("Enabled");
    enabledToggle_->setObjectName("enabledToggle");
    connect(enabledToggle_, &QCheckBox::clicked, this,
            [this](bool checked) { controller_.setEnabled(checked); });
    launchAtLoginToggle_ = new QCheckBox("Start at login");
    launchAtLoginToggle_->setObjectName("launchAtLoginToggle");
    connect(launchAtLoginToggle_, &QCheckBox::clicked, this,
            [this](bool checked) { controller_.setLaunchAtLogin(checked); });

    auto* layout = new QVBoxLayout(section);
    layout->addWidget(enabledToggle_);
    layout->addWidget(launchAtLoginToggle_);
    return section;
}

void SettingsWindow::refresh() {
    permissionSection_->setVisible(model_.permissionSectionShown());

    assignedButtonValue_->setText(text(model_.assignedButtonValue()));
    assignedButtonValue_->setForegroundRole(
        model_.assignedButtonDimmed() ? QPalette::PlaceholderText : QPalette::WindowText);
    assignButton_->setText(text(model_.assignButtonTitle()));
    assignButton_->setEnabled(model_.assignButtonEnabled());
    clearButton_->setVisible(model_.clearButtonShown());

    entryList_->showItems(controller_.menuItems());
    addButton_->setText(text(model_.addButtonTitle()));
    addButton_->setEnabled(model_.addButtonEnabled());
    maximumReached_->setVisible(model_.maximumReachedShown());

    enabledToggle_->setChecked(controller_.enabled());
    launchAtLoginToggle_->setChecked(controller_.launchAtLogin());

    const QString notice = text(model_.saveNotice());
    saveNotice_->setText(notice);
    saveNotice_->setVisible(!notice.isEmpty());
}

void SettingsWindow::syncEditor() {
    const auto& editing = model_.editingItem();
    if (editing && !editor_) {
        editor_ = new ItemEditor(
            *editing,
            [this](const tavrin::MenuItem& item) {
                model_.save(item);
                syncEditor();
            },
            [this] {
                model_.cancelEditing();
                syncEditor();
            },
            this);
        editor_->open();
    } else if (!editing && editor_) {
        editor_->hide();
        editor_->deleteLater();
        editor_ = nullptr;
    }
}

void SettingsWindow::editAt(int offset) {
    const auto& items = controller_.menuItems();
    if (offset < 0 || offset >= static_cast<int>(items.size()))
        return;
    model_.edit(items[static_cast<std::size_t>(offset)]);
    syncEditor();
}

void SettingsWindow::deleteAt(int offset) {
    const auto& items = controller_.menuItems();
    if (offset < 0 || offset >= static_cast<int>(items.size()))
        return;
    model_.deleteItem(items[static_cast<std::size_t>(offset)].id);
}

void SettingsWindow::hideEvent(QHideEvent* event) {
    // Closing the window dismisses the editor the way Cancel would.
    if (model_.editingItem() && !event->spontaneous()) {
        model_.cancelEditing();
        syncEditor();
    }
    QWidget::hideEvent(event);
}
