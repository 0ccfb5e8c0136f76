#include "ItemEditor.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>
#include <optional>

using tavrin::MenuItem;
using tavrin::PopupAction;
using tavrin::SpecialKey;
using tavrin::Uuid;

namespace {

// One editor with everything it reported.
struct Harness {
    explicit Harness(const MenuItem& item)
        : editor(std::make_unique<ItemEditor>(
              item, [this](const MenuItem& entry) { saved.push_back(entry); },
              [this] { ++cancelled; })) {
        editor->show();
    }
    template <class T> T* child(const char* name) const {
        auto* found = editor->findChild<T*>(name);
        if (!found)
            qFatal("no widget named %s", name);
        return found;
    }
    QLineEdit* labelField() const { return child<QLineEdit>("labelField"); }
    QLineEdit* textField() const { return child<QLineEdit>("textField"); }
    QComboBox* actionTypePicker() const { return child<QComboBox>("actionTypePicker"); }
    QComboBox* keyPicker() const { return child<QComboBox>("keyPicker"); }
    QPushButton* saveButton() const { return child<QPushButton>("saveButton"); }
    QPushButton* cancelButton() const { return child<QPushButton>("cancelButton"); }

    std::vector<MenuItem> saved;
    int cancelled = 0;
    std::unique_ptr<ItemEditor> editor;
};

MenuItem newEntry() {
    return {Uuid::random(), "", PopupAction::insertText("")};
}

QStringList comboRows(const QComboBox* combo) {
    QStringList rows;
    for (int i = 0; i < combo->count(); ++i)
        rows << combo->itemText(i);
    return rows;
}

QString formLabel(QWidget* field) {
    auto* form = qobject_cast<QFormLayout*>(field->parentWidget()->layout());
    auto* label = form ? qobject_cast<QLabel*>(form->labelForField(field)) : nullptr;
    return label ? label->text() : QString();
}

} // namespace

class ItemEditorTest : public QObject {
    Q_OBJECT

  private slots:
    void formHasTheControlsInOrderWithTheirTexts() {
        Harness h(newEntry());
        QCOMPARE(h.editor->size(), QSize(400, 440));
        QCOMPARE(h.editor->windowModality(), Qt::WindowModal);

        QStringList sections;
        for (auto* box : h.editor->findChildren<QGroupBox*>())
            sections << box->title();
        QCOMPARE(sections, (QStringList{"Label", "Action"}));
        QCOMPARE(formLabel(h.labelField()), QString("Menu item label"));
        QCOMPARE(formLabel(h.actionTypePicker()), QString("Action type"));
        QCOMPARE(formLabel(h.textField()), QString("Text to type"));
        QCOMPARE(formLabel(h.keyPicker()), QString("Special key"));
        QCOMPARE(h.child<QLabel>("labelNote")->text(), QString("The text shown in the popup menu"));
        QCOMPARE(h.child<QLabel>("textNote")->text(),
                 QString("The text that will be inserted (e.g. @ or / or any string)"));
        QCOMPARE(h.child<QLabel>("textNote")->foregroundRole(), QPalette::PlaceholderText);

        QCOMPARE(comboRows(h.actionTypePicker()), (QStringList{"Type text", "Press special key"}));
        QCOMPARE(comboRows(h.keyPicker()),
                 (QStringList{"\u23CE  Return", "\u238B  Escape", "\u21E5  Tab", "\u232B  Delete",
                              "\u2326  Forward Delete", "\u2423  Space"}));
        QCOMPARE(h.cancelButton()->text(), QString("Cancel"));
        QCOMPARE(h.saveButton()->text(), QString("Save"));
        QVERIFY(h.saveButton()->isDefault());
        QVERIFY(h.cancelButton()->x() < h.saveButton()->x());
    }

    void newEntrySavesOnlyWithALabelAndAText() {
        Harness h(newEntry());
        QVERIFY(h.labelField()->text().isEmpty());
        QCOMPARE(h.actionTypePicker()->currentText(), QString("Type text"));
        QVERIFY(h.textField()->isVisible());
        QVERIFY(!h.keyPicker()->isVisible());
        QVERIFY(!h.saveButton()->isEnabled());

        QTest::keyClicks(h.labelField(), "Sig");
        QVERIFY(!h.saveButton()->isEnabled());
        QTest::keyClicks(h.textField(), "Best, Ann");
        QVERIFY(h.saveButton()->isEnabled());
        QTest::mouseClick(h.saveButton(), Qt::LeftButton);
        QCOMPARE(h.saved.size(), std::size_t{1});
        QCOMPARE(h.saved[0].label, std::string("Sig"));
        QCOMPARE(h.saved[0].action, PopupAction::insertText("Best, Ann"));
        QCOMPARE(h.cancelled, 0);
        QVERIFY2(h.editor->isVisible(), "the editor does not close itself");
    }

    void pickingKeysFillsAnEmptyLabelAndFollowsIt() {
        Harness h(newEntry());
        QTest::keyClick(h.actionTypePicker(), Qt::Key_Down);
        QCOMPARE(h.actionTypePicker()->currentText(), QString("Press special key"));
        QVERIFY(!h.textField()->isVisible());
        QVERIFY(h.keyPicker()->isVisible());
        QVERIFY(h.labelField()->text().isEmpty());
        QVERIFY(!h.saveButton()->isEnabled());

        QTest::keyClick(h.keyPicker(), Qt::Key_Down);
        QCOMPARE(h.labelField()->text(), QString("Escape"));
        QTest::keyClick(h.keyPicker(), Qt::Key_Down);
        QCOMPARE(h.labelField()->text(), QString("Tab"));
        QVERIFY(h.saveButton()->isEnabled());

        h.labelField()->selectAll();
        QTest::keyClicks(h.labelField(), "Next field");
        QTest::keyClick(h.keyPicker(), Qt::Key_Up);
        QCOMPARE(h.labelField()->text(), QString("Next field"));
    }

    void switchingBackKeepsTheTextAndSavingKeepsTheId() {
        const MenuItem entry{Uuid::random(), "Mention", PopupAction::insertText("@")};
        Harness h(entry);
        QCOMPARE(h.textField()->text(), QString("@"));
        QTest::keyClick(h.actionTypePicker(), Qt::Key_Down);
        QTest::keyClick(h.actionTypePicker(), Qt::Key_Up);
        QVERIFY(h.textField()->isVisible());
        QCOMPARE(h.textField()->text(), QString("@"));

        QTest::keyClick(h.actionTypePicker(), Qt::Key_Down);
        QTest::keyClick(h.keyPicker(), Qt::Key_End);
        QTest::mouseClick(h.saveButton(), Qt::LeftButton);
        QCOMPARE(h.saved.size(), std::size_t{1});
        QCOMPARE(h.saved[0].id, entry.id);
        QCOMPARE(h.saved[0].label, std::string("Mention"));
        QCOMPARE(h.saved[0].action, PopupAction::pressKey(SpecialKey::space));
    }

    void returnSavesOnlyWhenAllowedAndEscapeCancels() {
        Harness h({Uuid::random(), "Enter", PopupAction::insertText("")});
        QTest::keyClick(h.textField(), Qt::Key_Return);
        QTest::keyClick(h.labelField(), Qt::Key_Return);
        QVERIFY(h.saved.empty());
        QCOMPARE(h.cancelled, 0);

        QTest::keyClicks(h.textField(), "x");
        QTest::keyClick(h.textField(), Qt::Key_Return);
        QCOMPARE(h.saved.size(), std::size_t{1}); // Return in a field saves once, as the button
        QTest::keyClick(h.cancelButton(), Qt::Key_Return);
        QCOMPARE(h.saved.size(), std::size_t{2}); // Return means Save even on a focused Cancel
        QCOMPARE(h.cancelled, 0);

        QTest::keyClick(h.labelField(), Qt::Key_Escape);
        QCOMPARE(h.cancelled, 1);
        QTest::mouseClick(h.cancelButton(), Qt::LeftButton);
        QCOMPARE(h.cancelled, 2);
        QCOMPARE(h.saved.size(), std::size_t{2});
    }

    void closingTheWindowCountsAsCancel() {
        Harness h(newEntry());
        h.editor->close();
        QCOMPARE(h.cancelled, 1);
        QVERIFY(h.saved.empty());
    }
};

QTEST_MAIN(ItemEditorTest)
#include "ItemEditorTest.moc"
