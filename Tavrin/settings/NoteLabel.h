#pragma once

#include <QLabel>

// Small explanatory text under a control, in the caption font.
class NoteLabel : public QLabel {
    Q_OBJECT

  public:
    enum class Tone { normal, secondary };

    NoteLabel(const QString& text, Tone tone, QWidget* parent = nullptr);
};
