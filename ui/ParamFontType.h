// The text font dialog (dialog 215): font kind, face, text, character height
// and spacing for the text tool, and a button that opens the system's
// character map. The caller sets the five members, runs the dialog and
// takes them back after OK.
#pragma once
#include "qtplatform/DialogBase.h"

#include <QString>

#include <functional>
#include <string>

class CXPButton;
class QComboBox;
class QLabel;
class QLineEdit;

class CParamFontType : public CDialogBase {
public:
    static constexpr int IDD = 215;
    static constexpr int IDC_KIND = 1225;
    static constexpr int IDC_FACE = 1226;
    static constexpr int IDC_TEXT = 1113;
    static constexpr int IDC_HEIGHT = 1111;
    static constexpr int IDC_SPACING = 1112;
    static constexpr int IDC_HEIGHT_LABEL = 1227;
    static constexpr int IDC_SPACING_LABEL = 1228;
    static constexpr int IDC_CHARMAP = 1229;
    static constexpr int IDC_OK = 1073;
    static constexpr int IDC_CANCEL = 1074;

    CParamFontType(std::u16string type, std::u16string face, std::u16string text, double height, double spacing,
                   QWidget* parent = nullptr);

    std::u16string m_font_type;
    std::u16string m_font_name;
    std::u16string m_font_text;
    double m_font_high = 0.0;
    double m_font_inter = 0.0;

    // The family a face list item stands for: "Family [Foundry]" gives
    // "Family", any other item itself.
    static QString FamilyOf(const QString& item);
    // "%.15g".
    static QString ShownNumber(double value);

    // Starts a program by name, detached; false when it cannot start. Tests
    // record what would start; null restores the real start.
    using Launcher = std::function<bool(const QString& program)>;
    static void SetLauncherForTesting(Launcher launcher);

    QComboBox* KindList() const { return m_kind; }
    QComboBox* FaceList() const { return m_face; }
    QLineEdit* TextEdit() const { return m_text; }
    QLineEdit* HeightEdit() const { return m_height; }
    QLineEdit* SpacingEdit() const { return m_spacing; }
    CXPButton* CharMapButton() const { return m_charMap; }
    CXPButton* OkButton() const { return m_ok; }
    CXPButton* CancelButton() const { return m_cancel; }

protected:
    void OnInitDialog() override;
    // A height or spacing that is no number keeps the dialog open with that
    // edit focused.
    bool OnOK() override;

private:
    // Adds every installed family not in the list yet.
    void FillFaces();
    // Selects the member's face: its item, an item of its family, else the
    // item of the family fontconfig substitutes for it, else the first.
    void SelectFace();
    void OnKindChanged(int index);
    void OnCharMap();

    QComboBox* m_kind;
    QComboBox* m_face;
    QLineEdit* m_text;
    QLabel* m_heightLabel;
    QLineEdit* m_height;
    QLabel* m_spacingLabel;
    QLineEdit* m_spacing;
    CXPButton* m_charMap;
    CXPButton* m_ok;
    CXPButton* m_cancel;
};
