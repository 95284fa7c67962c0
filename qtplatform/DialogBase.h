// Base of the program's dialogs. A dialog takes its texts from its section of
// the language table when it is set up (a text that is missing or empty
// keeps the dialog's built-in one), runs modally through DoModal, and on OK
// first takes the control values (OnOK), while Cancel discards them.
//
// Tests answer modal dialogs through SetModalAnswerForTesting: the dialog is
// set up as for a real run, then the function gets it in place of the
// operator and returns the result (IDOK or IDCANCEL).
#pragma once
#include <QDialog>

#include <functional>
#include <string>
#include <string_view>

class CDialogBase : public QDialog {
public:
    using ModalAnswer = std::function<int(CDialogBase&)>;

    CDialogBase(int templateId, std::u16string_view section, QWidget* parent = nullptr);

    // The designed dialog id.
    int TemplateId() const { return m_templateId; }

    // Sets the texts up (OnInitDialog) and runs the dialog: IDOK (1) or
    // IDCANCEL (2).
    int DoModal();
    // Makes the dialog a child window of `parent` (a page of a tab control),
    // set up once (OnInitDialog); a later call only moves it to the parent.
    void Create(QWidget* parent);
    bool IsCreated() const { return m_created; }

    // Entry k of the dialog's section (see LanguageText); empty when missing.
    std::u16string SectionText(int k) const;
    // Sets a window title or control text from entry k when it is not empty.
    void SetTitleFromSection(int k);
    void SetTextFromSection(QWidget* control, int k) const;

    static void SetModalAnswerForTesting(ModalAnswer answer);

protected:
    // Called before the dialog shows: texts and initial control values.
    virtual void OnInitDialog() {}
    // Takes the control values; false keeps the dialog open.
    virtual bool OnOK() { return true; }

    void accept() override;

private:
    int m_templateId;
    std::u16string m_section;
    bool m_created = false;
};

// A template's size in pixels: x dialog units are x times the font's average
// character width / 4, y units y times its height / 8 (rounded).
QSize DialogUnitsToPixels(const QFont& font, int x, int y);

// The width a push button needs to show a text (mnemonic marks left out)
// in its font: the text with the style's button margin and frame.
int ButtonWidthForText(const QWidget& button, const QString& text);
