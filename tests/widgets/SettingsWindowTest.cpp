#include "SettingsWindow.h"

#include "EntryDragData.h"
#include "EntryList.h"
#include "FakePlatform.h"
#include "ItemCodec.h"
#include "ItemEditor.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>
#include <memory>

using namespace std::chrono_literals;
using tavrin::ButtonEventType;
using tavrin::ClickController;
using tavrin::MenuItem;
using tavrin::PopupAction;
using tavrin::SpecialKey;
using tavrin::Uuid;
using tavrin::testing::FakePlatform;

namespace {

MenuItem textItem(const std::string& label, const std::string& text) {
    return {Uuid::random(), label, PopupAction::insertText(text)};
}

std::vector<MenuItem> entries(int count) {
    std::vector<MenuItem> items;
    for (int i = 0; i < count; ++i)
        items.push_back(textItem(std::string(1, static_cast<char>('a' + i)), "t"));
    return items;
}

// A controller over a fake platform, and its settings window on screen.
struct Harness {
    explicit Harness(bool trusted, std::optional<std::vector<MenuItem>> items = std::nullopt,
                     std::optional<int> button = std::nullopt) {
        platform.trusted = trusted;
        if (items)
            platform.store["menuItems"] = *tavrin::itemCodec::encode(*items);
        if (button)
            platform.store["assignedButton"] = std::int64_t{*button};
        controller = std::make_unique<ClickController>(platform);
        window = std::make_unique<SettingsWindow>(*controller);
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            qFatal("the settings window never appeared");
    }
    template <class T> T* child(const char* name) const {
        auto* found = window->findChild<T*>(name);
        if (!found)
            qFatal("no widget named %s", name);
        return found;
    }
    QPushButton* button(const char* name) const { return child<QPushButton>(name); }
    EntryList* list() const { return child<EntryList>("entryList"); }
    QWidget* row(int offset) const { return list()->itemWidget(list()->item(offset)); }
    QToolButton* rowButton(int offset, const char* name) const {
        return row(offset)->findChild<QToolButton*>(name);
    }
    QString rowText(int offset, const char* name) const {
        return row(offset)->findChild<QLabel*>(name)->text();
    }
    QStringList rowLabels() const {
        QStringList labels;
        for (int i = 0; i < list()->count(); ++i)
            labels << rowText(i, "rowLabel");
        return labels;
    }
    ItemEditor* editor() const { return window->findChild<ItemEditor*>(); }
    bool editorOpen() const { return editor() && editor()->isVisible(); }
    // The visible sections, top to bottom, with their headers.
    QStringList sections() const {
        QStringList titles;
        auto* layout = window->layout();
        for (int i = 0; i < layout->count(); ++i) {
            auto* box = qobject_cast<QGroupBox*>(layout->itemAt(i)->widget());
            if (box && box->isVisible())
                titles << box->title();
        }
        return titles;
    }
    std::vector<std::string> listWrites() const {
        std::vector<std::string> stored;
        for (const auto& write : platform.writes) {
            if (write.key == "menuItems")
                stored.push_back(std::get<std::string>(write.value));
        }
        return stored;
    }

    FakePlatform platform;
    std::unique_ptr<ClickController> controller;
    std::unique_ptr<SettingsWindow> window;
};

// Near the leading edge, where a check box has its indicator.
void click(QAbstractButton* button) {
    QVERIFY(button);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

} // namespace

class SettingsWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void withoutPermissionTheFormStartsWithThePermissionSection() {
        Harness h(false);
        QCOMPARE(h.window->objectName(), QString("SettingsWindow"));
        QCOMPARE(h.window->size(), QSize(440, 640));
        QCOMPARE(h.sections(),
                 (QStringList{"Permission needed", "Mouse button", "Popup menu items", "General"}));
        QCOMPARE(h.child<QLabel>("permissionText")->text(),
                 QString("Tavrin needs Accessibility access to watch your spare mouse button and "
                         "type on your behalf. Nothing works until it's granted \u2014 one time "
                         "only."));
        QCOMPARE(h.button("grantButton")->text(), QString("Grant in System Settings\u2026"));
        QCOMPARE(h.child<QLabel>("assignedButtonLabel")->text(), QString("Assigned button"));
        QCOMPARE(h.button("assignButton")->text(), QString("Assign button"));
        QVERIFY(!h.button("assignButton")->isEnabled());
        QCOMPARE(h.child<QLabel>("mouseNote")->text(),
                 QString("Click Assign, then press the spare button on your mouse. Left and right "
                         "clicks can't be assigned \u2014 only extra buttons."));
        QCOMPARE(h.child<QLabel>("itemsNote")->text(),
                 QString("Press the assigned button anywhere: the menu opens at your cursor and "
                         "the choice is typed into the app in front. Click elsewhere to dismiss."));
        QCOMPARE(h.child<QCheckBox>("enabledToggle")->text(), QString("Enabled"));
        QCOMPARE(h.child<QCheckBox>("launchAtLoginToggle")->text(), QString("Start at login"));

        for (const char* name : {"mouseSection", "itemsSection", "generalSection"}) {
            const QRect inside = h.child<QWidget>(name)->geometry();
            QVERIFY2(h.window->rect().contains(inside), name);
        }
    }

    void theGrantButtonPromptsAndALaterGrantRemovesTheSection() {
        Harness h(false);
        click(h.button("grantButton"));
        QCOMPARE(h.platform.promptCount, 1);
        QCOMPARE(h.platform.helpOpened, 1);
        QVERIFY(h.child<QGroupBox>("permissionSection")->isVisible());

        h.platform.trusted = true;
        h.platform.advance(2000ms);
        QCOMPARE(h.sections(), (QStringList{"Mouse button", "Popup menu items", "General"}));
        QVERIFY(h.button("assignButton")->isEnabled());
    }

    void assigningAndClearingTheButton() {
        Harness h(true);
        auto* value = h.child<QLabel>("assignedButtonValue");
        QCOMPARE(value->text(), QString("None"));
        QCOMPARE(value->foregroundRole(), QPalette::PlaceholderText);
        QVERIFY(!h.button("clearButton")->isVisible());

        click(h.button("assignButton"));
        QCOMPARE(h.button("assignButton")->text(), QString("Press the button now\u2026"));
        QVERIFY(!h.button("assignButton")->isEnabled());

        h.platform.deliver(ButtonEventType::press, 3);
        QCOMPARE(h.button("assignButton")->text(), QString("Assign button"));
        QVERIFY(h.button("assignButton")->isEnabled());
        QCOMPARE(value->text(), QString("Button 3"));
        QCOMPARE(value->foregroundRole(), QPalette::WindowText);
        QVERIFY(h.button("clearButton")->isVisible());
        QCOMPARE(h.button("clearButton")->text(), QString("Clear"));

        click(h.button("assignButton"));
        QVERIFY(h.button("clearButton")->isEnabled());
        click(h.button("clearButton"));
        QCOMPARE(value->text(), QString("None"));
        QVERIFY(!h.button("clearButton")->isVisible());
        QCOMPARE(h.button("assignButton")->text(), QString("Press the button now\u2026"));
        QCOMPARE(std::get<std::int64_t>(h.platform.store["assignedButton"]), -1);
    }

    void rowsShowSymbolLabelAndButtons() {
        const std::vector<MenuItem> items{
            textItem("Mention", "@"),
            {Uuid::random(), "Enter", PopupAction::pressKey(SpecialKey::returnKey)},
            textItem("Greeting", "Good morning, everyone"),
        };
        Harness h(true, items);
        QCOMPARE(h.list()->height(), 142);
        QCOMPARE(h.rowLabels(), (QStringList{"Mention", "Enter", "Greeting"}));
        QCOMPARE(h.rowText(0, "rowSymbol"), QString("@"));
        QCOMPARE(h.rowText(1, "rowSymbol"), QString("\u23CE"));
        const QString cut = h.rowText(2, "rowSymbol");
        QVERIFY(cut != QString("Good morning, everyone"));
        QVERIFY(cut.startsWith(u'G'));

        int labelX = -1;
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(h.row(i)->height(), 28);
            auto* symbol = h.row(i)->findChild<QLabel*>("rowSymbol");
            auto* label = h.row(i)->findChild<QLabel*>("rowLabel");
            QCOMPARE(symbol->width(), 24);
            if (labelX < 0)
                labelX = label->x();
            QCOMPARE(label->x(), labelX);
            QCOMPARE(h.rowButton(i, "editButton")->text(), QString("Edit"));
            QCOMPARE(h.rowButton(i, "deleteButton")->toolTip(), QString("Delete this item"));
            QVERIFY(h.rowButton(i, "editButton")->autoRaise());
        }
        QVERIFY(h.rowButton(0, "editButton")->x() > h.row(0)->width() / 2);
    }

    void theTrashButtonDeletesAndStoresOnce() {
        const auto items = entries(3);
        Harness h(true, items);
        click(h.rowButton(1, "deleteButton"));
        QCOMPARE(h.rowLabels(), (QStringList{"a", "c"}));
        QCOMPARE(h.listWrites(),
                 (std::vector<std::string>{*tavrin::itemCodec::encode({items[0], items[2]})}));
    }

    void theDeleteKeyRemovesTheCurrentRow() {
        Harness h(true, entries(3));
        h.list()->setFocus();
        h.list()->setCurrentRow(2);
        QTest::keyClick(h.list(), Qt::Key_Delete);
        QCOMPARE(h.rowLabels(), (QStringList{"a", "b"}));
        QCOMPARE(h.listWrites().size(), std::size_t{1});
    }

    void droppingTheLastRowOnTheFirstMovesItToTheTop() {
        const auto items = entries(3);
        Harness h(true, items);
        auto* viewport = h.list()->viewport();
        const QPoint topOfFirstRow =
            h.list()->visualRect(h.list()->model()->index(0, 0)).topLeft() + QPoint(20, 3);
        EntryDragData data(h.list(), 2);
        QDragEnterEvent enter(topOfFirstRow, Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(topOfFirstRow, Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &drop);

        QTRY_COMPARE(h.rowLabels(), (QStringList{"c", "a", "b"}));
        QCOMPARE(h.listWrites(), (std::vector<std::string>{
                                     *tavrin::itemCodec::encode({items[2], items[0], items[1]})}));
    }

    void rowsFromAnotherListAreRefused() {
        Harness h(true, entries(3));
        EntryList stranger;
        EntryDragData data(&stranger, 0);
        const QPoint point(20, 3);
        QDragEnterEvent enter(point, Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(h.list()->viewport(), &enter);
        QVERIFY(!enter.isAccepted());
        QDropEvent drop(point, Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(h.list()->viewport(), &drop);
        QTest::qWait(0);
        QVERIFY(h.listWrites().empty());
    }

    void editingTheSecondEntryKeepsItSecond() {
        const auto items = entries(3);
        Harness h(true, items);
        click(h.rowButton(1, "editButton"));
        QTRY_VERIFY(h.editorOpen());
        QVERIFY(h.editor()->isModal());
        QCOMPARE(h.editor()->size(), QSize(400, 440));
        auto* label = h.editor()->findChild<QLineEdit*>("labelField");
        QCOMPARE(label->text(), QString("b"));
        label->selectAll();
        QTest::keyClicks(label, "Second");
        click(h.editor()->findChild<QPushButton*>("saveButton"));

        QTRY_VERIFY(!h.editorOpen());
        QCOMPARE(h.rowLabels(), (QStringList{"a", "Second", "c"}));
        QCOMPARE(h.controller->menuItems()[1].id, items[1].id);
        QCOMPARE(h.listWrites().size(), std::size_t{1});

        click(h.rowButton(2, "editButton"));
        QTRY_VERIFY(h.editorOpen());
        QCOMPARE(h.editor()->findChild<QLineEdit*>("labelField")->text(), QString("c"));
    }

    void addingThenCancellingStoresNothing() {
        Harness h(true, entries(2));
        for (int way = 0; way < 3; ++way) {
            click(h.button("addButton"));
            QTRY_VERIFY(h.editorOpen());
            ItemEditor* editor = h.editor();
            QVERIFY(editor->findChild<QLineEdit*>("labelField")->text().isEmpty());
            QVERIFY(!editor->findChild<QPushButton*>("saveButton")->isEnabled());
            if (way == 0)
                click(editor->findChild<QPushButton*>("cancelButton"));
            else if (way == 1)
                QTest::keyClick(editor, Qt::Key_Escape);
            else
                editor->close();
            QTRY_VERIFY(!h.editorOpen());
        }
        QCOMPARE(h.rowLabels(), (QStringList{"a", "b"}));
        QVERIFY(h.listWrites().empty());
    }

    void theFifthEntryReachesTheLimitAndDeletingOneLiftsIt() {
        Harness h(true, entries(4));
        auto* add = h.button("addButton");
        auto* maximum = h.child<QLabel>("maximumReachedLabel");
        QCOMPARE(add->text(), QString("Add item"));
        QVERIFY(add->isEnabled());
        QVERIFY(!maximum->isVisible());

        click(add);
        QTRY_VERIFY(h.editorOpen());
        QTest::keyClicks(h.editor()->findChild<QLineEdit*>("labelField"), "Fifth");
        QTest::keyClicks(h.editor()->findChild<QLineEdit*>("textField"), "5");
        QTest::keyClick(h.editor()->findChild<QLineEdit*>("textField"), Qt::Key_Return);
        QTRY_VERIFY(!h.editorOpen());

        QCOMPARE(h.rowLabels(), (QStringList{"a", "b", "c", "d", "Fifth"}));
        QCOMPARE(add->text(), QString("5 items max"));
        QVERIFY(!add->isEnabled());
        QVERIFY(maximum->isVisible());
        QCOMPARE(maximum->text(), QString("(maximum reached)"));

        click(h.rowButton(0, "deleteButton"));
        QCOMPARE(add->text(), QString("Add item"));
        QVERIFY(add->isEnabled());
        QVERIFY(!maximum->isVisible());
        QCOMPARE(h.listWrites().size(), std::size_t{2});
    }

    void closingTheWindowDismissesTheEditor() {
        Harness h(true, entries(1));
        click(h.button("addButton"));
        QTRY_VERIFY(h.editorOpen());
        h.window->close();
        QTRY_VERIFY(!h.editorOpen());
        QVERIFY(h.listWrites().empty());

        h.window->show();
        click(h.rowButton(0, "editButton"));
        QTRY_VERIFY(h.editorOpen());
        QCOMPARE(h.editor()->findChild<QLineEdit*>("labelField")->text(), QString("a"));
    }

    void togglesFollowTheControllerBothWays() {
        Harness h(true);
        auto* enabled = h.child<QCheckBox>("enabledToggle");
        QVERIFY(enabled->isChecked());
        click(enabled);
        QVERIFY(!h.controller->enabled());
        QCOMPARE(std::get<bool>(h.platform.store["enabled"]), false);
        h.controller->setEnabled(true); // as the tray menu does
        QVERIFY(enabled->isChecked());

        auto* login = h.child<QCheckBox>("launchAtLoginToggle");
        QVERIFY(!login->isChecked());
        click(login);
        QVERIFY(login->isChecked());
        QVERIFY(h.platform.loginItemRegistered);

        h.platform.loginItemCallsFail = true;
        click(login);
        QVERIFY2(login->isChecked(), "a refused removal shows the switch on again");
        QCOMPARE(h.platform.loginItemCalls,
                 (std::vector<std::string>{"register", "unregister", "register"}));
    }
};

QTEST_MAIN(SettingsWindowTest)
#include "SettingsWindowTest.moc"
