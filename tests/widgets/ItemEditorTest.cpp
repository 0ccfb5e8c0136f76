#include "ItemEditor.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace tavrin;

namespace {

// One editor on screen with everything it reported.
struct Harness {
    explicit Harness(const MenuItem& item)
        : editor(
              item, [this](const MenuItem& entry) { saved.push_back(entry); },
              [this] { ++cancelled; }) {
        editor.show();
    }

    template <class T> T* child(const char* name) const {
        auto* found = editor.findChild<T*>(name);
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
    ItemEditor editor;
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
        QCOMPARE(h.editor.size(), QSize(400, 440));
        QCOMPARE(h.editor.windowModality(), Qt::WindowModal);

        QStringList sections;
        for (auto* box : h.editor.findChildren<QGroupBox*>())
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

    void theFieldsEditTheEntryThatSaveReports() {
        const MenuItem entry = newEntry();
        Harness h(entry);
        QCOMPARE(h.actionTypePicker()->currentText(), QString("Type text"));
        QVERIFY(h.textField()->isVisible());
        QVERIFY(!h.keyPicker()->isVisible());
        QVERIFY(!h.saveButton()->isEnabled());

        QTest::keyClick(h.actionTypePicker(), Qt::Key_Down);
        QVERIFY(!h.textField()->isVisible());
        QVERIFY(h.keyPicker()->isVisible());
        QTest::keyClick(h.keyPicker(), Qt::Key_Down);
        QCOMPARE(h.labelField()->text(), QString("Escape")); // the model's key, named
        QVERIFY(h.saveButton()->isEnabled());

        h.labelField()->selectAll();
        QTest::keyClicks(h.labelField(), "Sig");
        QTest::keyClick(h.actionTypePicker(), Qt::Key_Up);
        QVERIFY(!h.saveButton()->isEnabled());
        QTest::keyClicks(h.textField(), "Best, Ann");
        QTest::mouseClick(h.saveButton(), Qt::LeftButton);
        QCOMPARE(h.saved,
                 (std::vector<MenuItem>{{entry.id, "Sig", PopupAction::insertText("Best, Ann")}}));
        QVERIFY2(h.editor.isVisible(), "the editor does not close itself");
    }

    void returnSavesWhenAllowedAndEveryOtherWayOutCancels() {
        Harness h({Uuid::random(), "Enter", PopupAction::insertText("")});
        QTest::keyClick(h.textField(), Qt::Key_Return);
        QVERIFY(h.saved.empty());
        QTest::keyClicks(h.textField(), "x");
        QTest::keyClick(h.textField(), Qt::Key_Return);
        QCOMPARE(h.saved.size(), std::size_t{1});
        QTest::keyClick(h.cancelButton(), Qt::Key_Return);
        QCOMPARE(h.saved.size(), std::size_t{2}); // Return means Save even on a focused Cancel
        QCOMPARE(h.cancelled, 0);

        QTest::keyClick(h.labelField(), Qt::Key_Escape);
        QTest::mouseClick(h.cancelButton(), Qt::LeftButton);
        h.editor.close();
        QCOMPARE(h.cancelled, 3);
        QCOMPARE(h.saved.size(), std::size_t{2});
    }
};

QTEST_MAIN(ItemEditorTest)
#include "ItemEditorTest.moc"
