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
#include <algorithm>
#include <memory>

using namespace std::chrono_literals;
using namespace tavrin;
using tavrin::testing::FakePlatform;

namespace {

// Entries labelled "a", "b", ...
std::vector<MenuItem> entries(int count) {
    std::vector<MenuItem> items;
    for (int i = 0; i < count; ++i)
        items.push_back({Uuid::random(), std::string(1, static_cast<char>('a' + i)),
                         PopupAction::insertText("t")});
    return items;
}

// A controller over a fake platform, and its settings window on screen.
struct Harness {
    explicit Harness(bool trusted, const std::vector<MenuItem>& items = entries(3)) {
        platform.trusted = trusted;
        platform.store["menuItems"] = *itemCodec::encode(items);
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
    QStringList rowLabels() const {
        QStringList labels;
        for (int i = 0; i < list()->count(); ++i)
            labels << row(i)->findChild<QLabel*>("rowLabel")->text();
        return labels;
    }
    ItemEditor* editor() const { return window->findChild<ItemEditor*>(); }
    bool editorOpen() const { return editor() && editor()->isVisible(); }
    QLineEdit* editorField(const char* name) const { return editor()->findChild<QLineEdit*>(name); }
    long listWrites() const {
        return std::ranges::count(platform.writes, std::string("menuItems"),
                                  &FakePlatform::Write::key);
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
    void withoutPermissionTheFormShowsEverySectionUntilTheGrant() {
        Harness h(false);
        QStringList sections;
        for (int i = 0; i < h.window->layout()->count(); ++i) {
            auto* box = qobject_cast<QGroupBox*>(h.window->layout()->itemAt(i)->widget());
            if (box && box->isVisible()) {
                sections << box->title();
                QVERIFY2(h.window->rect().contains(box->geometry()), qPrintable(box->title()));
            }
        }
        QCOMPARE(sections,
                 (QStringList{"Permission needed", "Mouse button", "Popup menu items", "General"}));

        const std::pair<const char*, QString> texts[]{
            {"permissionText",
             "Tavrin needs Accessibility access to watch your spare mouse button and type on your "
             "behalf. Nothing works until it's granted \u2014 one time only."},
            {"grantButton", "Grant in System Settings\u2026"},
            {"assignedButtonLabel", "Assigned button"},
            {"assignButton", "Assign button"},
            {"clearButton", "Clear"},
            {"mouseNote", "Click Assign, then press the spare button on your mouse. Left and right "
                          "clicks can't be assigned \u2014 only extra buttons."},
            {"addButton", "Add item"},
            {"maximumReachedLabel", "(maximum reached)"},
            {"itemsNote", "Press the assigned button anywhere: the menu opens at your cursor and "
                          "the choice is typed into the app in front. Click elsewhere to dismiss."},
            {"enabledToggle", "Enabled"},
            {"launchAtLoginToggle", "Start at login"},
        };
        for (const auto& [name, text] : texts)
            QCOMPARE(h.child<QWidget>(name)->property("text").toString(), text);
        QVERIFY(!h.button("assignButton")->isEnabled());

        click(h.button("grantButton"));
        QCOMPARE(h.platform.promptCount, 1);
        QCOMPARE(h.platform.helpOpened, 1);
        auto* permission = h.child<QGroupBox>("permissionSection");
        QVERIFY(permission->isVisible());
        h.platform.trusted = true;
        h.platform.advance(2000ms);
        QVERIFY(!permission->isVisible());
        QVERIFY(h.button("assignButton")->isEnabled());
    }

    void theAssignedButtonFollowsAssignMode() {
        Harness h(true);
        auto* value = h.child<QLabel>("assignedButtonValue");
        auto* assign = h.button("assignButton");
        QCOMPARE(value->text(), QString("None"));
        QCOMPARE(value->foregroundRole(), QPalette::PlaceholderText);
        QVERIFY(!h.button("clearButton")->isVisible());

        click(assign);
        QCOMPARE(assign->text(), QString("Press the button now\u2026"));
        QVERIFY(!assign->isEnabled());
        h.platform.deliver(ButtonEventType::press, 3);
        QCOMPARE(assign->text(), QString("Assign button"));
        QVERIFY(assign->isEnabled());
        QCOMPARE(value->text(), QString("Button 3"));
        QCOMPARE(value->foregroundRole(), QPalette::WindowText);
        QVERIFY(h.button("clearButton")->isVisible());
    }

    void rowsShowSymbolLabelAndButtons() {
        Harness h(true, {{Uuid::random(), "Mention", PopupAction::insertText("@")},
                         {Uuid::random(), "Enter", PopupAction::pressKey(SpecialKey::returnKey)},
                         {Uuid::random(), "Greeting", PopupAction::insertText("Good morning")}});
        QCOMPARE(h.list()->height(), 142);
        const auto symbol = [&](int offset) {
            return h.row(offset)->findChild<QLabel*>("rowSymbol");
        };
        QCOMPARE(symbol(0)->text(), QString("@"));
        QCOMPARE(symbol(1)->text(), QString("\u23CE"));
        QVERIFY2(symbol(2)->text().startsWith(u'G') && symbol(2)->text() != "Good morning",
                 "a long symbol is cut to its column");

        QCOMPARE(h.row(0)->height(), 28);
        QCOMPARE(symbol(0)->width(), 24);
        QCOMPARE(h.rowButton(0, "editButton")->text(), QString("Edit"));
        QVERIFY(h.rowButton(0, "editButton")->autoRaise());
        QVERIFY(h.rowButton(0, "editButton")->x() > h.row(0)->width() / 2);
        QCOMPARE(h.rowButton(0, "deleteButton")->toolTip(), QString("Delete this item"));
    }

    void deletingFromTheFullListStoresOnceAndLiftsTheLimit() {
        Harness h(true, entries(5));
        auto* add = h.button("addButton");
        auto* maximum = h.child<QLabel>("maximumReachedLabel");
        QCOMPARE(add->text(), QString("5 items max"));
        QVERIFY(!add->isEnabled());
        QVERIFY(maximum->isVisible());

        click(h.rowButton(1, "deleteButton"));
        QCOMPARE(h.rowLabels(), (QStringList{"a", "c", "d", "e"}));
        QCOMPARE(h.listWrites(), 1);
        QCOMPARE(add->text(), QString("Add item"));
        QVERIFY(add->isEnabled());
        QVERIFY(!maximum->isVisible());

        h.list()->setFocus();
        h.list()->setCurrentRow(1);
        QTest::keyClick(h.list(), Qt::Key_Delete);
        QCOMPARE(h.rowLabels(), (QStringList{"a", "d", "e"}));
        QCOMPARE(h.listWrites(), 2);
    }

    void onlyRowsOfTheSameListCanBeDroppedToReorder() {
        Harness h(true);
        const QPoint topOfFirstRow =
            h.list()->visualRect(h.list()->model()->index(0, 0)).topLeft() + QPoint(20, 3);
        const auto drop = [&](const EntryList* from, int row) {
            EntryDragData data(from, row);
            QDragEnterEvent enter(topOfFirstRow, Qt::MoveAction, &data, Qt::LeftButton, {});
            QApplication::sendEvent(h.list()->viewport(), &enter);
            QDropEvent dropped(topOfFirstRow, Qt::MoveAction, &data, Qt::LeftButton, {});
            QApplication::sendEvent(h.list()->viewport(), &dropped);
            return enter.isAccepted();
        };
        EntryList stranger;
        QVERIFY(!drop(&stranger, 0));
        QVERIFY(drop(h.list(), 2));
        QTRY_COMPARE(h.rowLabels(), (QStringList{"c", "a", "b"}));
        QCOMPARE(h.listWrites(), 1);
    }

    void theEditorOpensOnTheChosenRowAndSavesItInPlace() {
        Harness h(true);
        click(h.button("addButton"));
        QTRY_VERIFY(h.editorOpen());
        QVERIFY(h.editorField("labelField")->text().isEmpty());
        QTest::keyClick(h.editor(), Qt::Key_Escape);
        QTRY_VERIFY(!h.editorOpen());
        click(h.rowButton(2, "editButton"));
        QTRY_VERIFY(h.editorOpen());
        QCOMPARE(h.editorField("labelField")->text(), QString("c"));
        h.window->close();
        QTRY_VERIFY(!h.editorOpen());
        QCOMPARE(h.listWrites(), 0);

        h.window->show();
        const Uuid secondId = h.controller->menuItems()[1].id;
        click(h.rowButton(1, "editButton"));
        QTRY_VERIFY(h.editorOpen());
        QLineEdit* label = h.editorField("labelField");
        QCOMPARE(label->text(), QString("b"));
        label->selectAll();
        QTest::keyClicks(label, "Second");
        click(h.editor()->findChild<QPushButton*>("saveButton"));
        QTRY_VERIFY(!h.editorOpen());
        QCOMPARE(h.rowLabels(), (QStringList{"a", "Second", "c"}));
        QCOMPARE(h.controller->menuItems()[1].id, secondId);
        QCOMPARE(h.listWrites(), 1);
    }

    void togglesFollowTheControllerBothWays() {
        Harness h(true);
        auto* enabled = h.child<QCheckBox>("enabledToggle");
        QVERIFY(enabled->isChecked());
        click(enabled);
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
    }
};

QTEST_MAIN(SettingsWindowTest)
#include "SettingsWindowTest.moc"
