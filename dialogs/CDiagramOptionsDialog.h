#pragma once

#include <QDialog>

// Pages across and down of the canvas, each 0 to 25.
class CDiagramOptionsDialog : public QDialog {
    Q_OBJECT
public:
    explicit CDiagramOptionsDialog(QWidget* parent = nullptr);

    // Moves the members into the fields; called when the dialog is shown.
    void showEvent(QShowEvent* event) override;
    void accept() override;

    unsigned m_nPagesAcross = 0;
    unsigned m_nPagesDown = 0;
};
