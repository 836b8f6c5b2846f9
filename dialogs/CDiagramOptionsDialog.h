#pragma once

#include "CTemplateDialog.h"

#include <optional>

class QLineEdit;

// Pages across and down of the canvas, each 0 to 25.
class CDiagramOptionsDialog : public CTemplateDialog {
    Q_OBJECT
public:
    // Control ids of template 135.
    enum : int {
        IDC_PAGES_ACROSS = 1014,
        IDC_PAGES_DOWN = 1015,
    };
    static constexpr long kMaxPages = 25;

    explicit CDiagramOptionsDialog(QWidget* parent = nullptr);

    // Moves the members into the fields; called when the dialog is shown.
    void showEvent(QShowEvent* event) override;
    void accept() override;

    unsigned m_nPagesAcross = 0;
    unsigned m_nPagesDown = 0;

    // The leading number of text as strtol reads it: blanks, a sign, digits;
    // 0 without digits, clamped to the range of long.
    static long LeadingNumber(const QString& text);
    // Blanks or tabs, an optional plus, digits, blanks or tabs; nothing else.
    static std::optional<unsigned> ParseUnsigned(const QString& text);

protected:
    void OnInitDialog() override;

private:
    // Shows the refusal and leaves the field focused with its text selected.
    void RefuseField(QLineEdit* field);

    QLineEdit* m_pAcrossEdit;
    QLineEdit* m_pDownEdit;
};
