#include "settings/SettingsWindow.h"

#include "FakePlatform.h"
#include "ItemCodec.h"
#include "settings/EntryDragData.h"
#include "settings/EntryList.h"
#include "settings/ItemEditor.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

using namespace tavrin;

namespace {

// A controller over entries "a", "b", ... and its settings window on screen.
struct Harness {
    explicit Harness(bool trusted, std::size_t count = 3) {
        platform.trusted = trusted;
        platform.store["menuItems"] = *itemCodec::encode(tavrin::testing::letteredItems(count));
        controller = std::make_unique<ClickController>(platform);
        window = std::make_unique<SettingsWindow>(*controller);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    template <class T = QAbstractButton> T* child(const char* name, QObject* in = nullptr) const {
        auto* found = (in ? in : window.get())->findChild<T*>(name);
        if (!found)
            qFatal("no widget named %s", name);
        return found;
    }
    EntryList* list() const { return child<EntryList>("entryList"); }
    QAbstractButton* rowButton(int row, const char* name) const {
        return child(name, list()->itemWidget(list()->item(row)));
    }
    std::string labels() const { return tavrin::testing::joinedLabels(controller->menuItems()); }
    ItemEditor* editor() const {
        auto* editor = window->findChild<ItemEditor*>();
        return editor && editor->isVisible() ? editor : nullptr;
    }

    tavrin::testing::FakePlatform platform;
    std::unique_ptr<ClickController> controller;
    std::unique_ptr<SettingsWindow> window;
};

// Near the leading edge, where a check box has its indicator.
void click(QAbstractButton* button) {
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

} // namespace

class SettingsWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void theGrantAndAssignButtonsDriveTheController() {
        Harness h(false);
        auto* assign = h.child("assignButton");
        click(h.child("grantButton"));
        QCOMPARE(h.platform.helpOpened, 1);
        h.platform.trusted = true;
        h.platform.advance(std::chrono::seconds(2));
        QVERIFY(!h.child<QWidget>("permissionSection")->isVisible());
        QVERIFY(!h.child<QWidget>("clearButton")->isVisible());
        click(assign);
        QVERIFY(!assign->isEnabled());
        h.platform.deliver(ButtonEventType::press, 3);
        QVERIFY(assign->isEnabled());
        auto* value = h.child<QLabel>("assignedButtonValue");
        QVERIFY(value->text().contains(u'3'));
        // No wider than its text, which thus ends the row across from its name.
        QCOMPARE(value->width(), value->sizeHint().width());
        click(h.child("clearButton"));
        QCOMPARE(h.controller->assignedButton(), std::nullopt);
    }

    void rowsShowTheirEntryAreDeletedAndOnlyRowsOfTheSameListAreDropped() {
        Harness h(true, 5);
        QWidget* row = h.list()->itemWidget(h.list()->item(4));
        QCOMPARE(h.child<QLabel>("rowLabel", row)->text(), QString("e"));
        QCOMPARE(h.child<QLabel>("rowSymbol", row)->toolTip(), QString("t"));
        // Both buttons borderless.
        for (const char* button : {"editButton", "deleteButton"})
            QVERIFY(h.child<QToolButton>(button, row)->autoRaise());
        auto* add = h.child("addButton");
        QVERIFY(!add->isEnabled() && !add->text().isEmpty());
        click(h.rowButton(1, "deleteButton"));
        QCOMPARE(h.labels(), std::string("acde"));
        QVERIFY(add->isEnabled());
        h.list()->setFocus();
        h.list()->setCurrentRow(0);
        QTest::keyClick(h.list(), Qt::Key_Down);
        QTest::keyClick(h.list(), Qt::Key_Delete);
        QCOMPARE(h.labels(), std::string("ade"));

        const auto drop = [&](const EntryList* from, int at) {
            EntryDragData data(from, at);
            QDragEnterEvent enter(QPoint(20, 3), Qt::MoveAction, &data, Qt::LeftButton, {});
            QApplication::sendEvent(h.list()->viewport(), &enter);
            QDropEvent dropped(QPoint(20, 3), Qt::MoveAction, &data, Qt::LeftButton, {});
            QApplication::sendEvent(h.list()->viewport(), &dropped);
            return enter.isAccepted();
        };
        EntryList stranger;
        QVERIFY(!drop(&stranger, 0));
        QVERIFY(drop(h.list(), 2));
        QTRY_COMPARE(h.labels(), std::string("ead"));
        QCOMPARE(h.platform.writes.size(), std::size_t{3});

        // Over the last row's lower half, the line marking where the row would go is under it.
        const int bottom = h.list()->visualItemRect(h.list()->item(2)).bottom();
        EntryDragData data(h.list(), 0);
        QDragEnterEvent enter(QPoint(20, bottom - 1), Qt::MoveAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(h.list()->viewport(), &enter);
        QCOMPARE(h.list()->viewport()->grab().toImage().pixelColor(20, bottom),
                 h.list()->palette().color(QPalette::Highlight));
    }

    void theEditorSavesInPlaceWithReturnAndEveryOtherWayOutCancels() {
        Harness h(true);
        emit h.list()->editRequested(h.list()->count()); // a row no longer there
        QVERIFY(!h.editor());
        click(h.child("addButton"));
        QTRY_VERIFY(h.editor());
        QTest::keyClick(h.editor(), Qt::Key_Escape);
        QTRY_VERIFY(!h.editor());
        click(h.rowButton(2, "editButton"));
        QTRY_VERIFY(h.editor());
        h.window->close();
        QTRY_VERIFY(!h.editor());
        QVERIFY(h.platform.writes.empty());

        h.window->show();
        click(h.rowButton(1, "editButton"));
        QTRY_VERIFY(h.editor());
        auto* label = h.child<QLineEdit>("labelField", h.editor());
        QCOMPARE(label->text(), QString("b"));
        auto* text = h.child<QLineEdit>("textField", h.editor());
        QCOMPARE(text->text(), QString("t"));
        label->selectAll();
        QTest::keyClick(label, Qt::Key_Backspace);
        QTest::keyClick(h.child<QComboBox>("actionTypePicker", h.editor()), Qt::Key_Down);
        auto* keys = h.child<QComboBox>("keyPicker", h.editor());
        QTest::keyClick(keys, Qt::Key_Down);
        QVERIFY(!text->isVisible());
        QVERIFY2(!label->text().isEmpty() && keys->currentText().endsWith(label->text()),
                 "an empty label takes the key's name");
        label->selectAll();
        QTest::keyClicks(label, "Key");
        QTest::keyClick(h.child("cancelButton", h.editor()), Qt::Key_Return);
        QTRY_VERIFY(!h.editor());
        QVERIFY(h.controller->menuItems()[1].action == PopupAction::pressKey(SpecialKey::escape));
        QCOMPARE(h.labels(), std::string("aKeyc"));
        QCOMPARE(h.platform.writes.size(), std::size_t{1});
    }

    void theTogglesFollowTheControllerBothWays() {
        Harness h(true);
        auto* enabled = h.child("enabledToggle");
        auto* notice = h.child<QLabel>("saveNotice");
        QVERIFY(!notice->isVisible());
        click(enabled);
        QCOMPARE(std::get<bool>(h.platform.store["enabled"]), false);
        h.controller->setEnabled(true); // as the tray menu does
        QVERIFY(enabled->isChecked());
        auto* login = h.child("launchAtLoginToggle");
        click(login);
        QVERIFY(h.platform.loginItemRegistered);
        h.platform.loginItemCallsFail = true;
        click(login);
        QVERIFY2(login->isChecked(), "a refused removal shows the switch on again");
        QVERIFY(notice->isVisible() && notice->text().contains("fake refusal"));
    }
};

QTEST_MAIN(SettingsWindowTest)
#include "SettingsWindowTest.moc"
