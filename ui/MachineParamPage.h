// Base of the machine parameter dialog's three parameter pages. A page works
// directly on the machine's parameter block: each edit the operator makes is
// converted to the block's unit and stored at once, and Fill reads the whole
// block back into the controls. Controls are found by their designed ids
// (object names); labels and drop-down items take their texts from the
// section "phase13:param-dialog" when the page is set up.
#pragma once
#include "qtplatform/DialogBase.h"

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <vector>

class CXPButton;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
struct MachineParams;

class CMachineParamPage : public CDialogBase {
public:
    CMachineParamPage(int templateId, QWidget* parent);

    // The block edited; set before the page is created.
    void SetParams(MachineParams* block) { m_pParams = block; }
    MachineParams* Params() const { return m_pParams; }

    // Refreshes every control from the block (nothing without one).
    virtual void Fill() = 0;

    QWidget* Control(int id) const;
    QLineEdit* Edit(int id) const;
    QComboBox* Combo(int id) const;

    // A number as the pages show it ("%.15g").
    static QString NumberText(double value);
    // Reads a number the C way; false, `value` untouched, for a text that
    // holds no number or one beyond the range of a double.
    static bool ReadNumber(const QString& text, double& value);
    // A real made the 32-bit pattern of an integer field: truncated, then
    // clamped to the field's range (signed or unsigned); NaN gives 0.
    static std::uint32_t ToFieldWord(double value, bool isSigned);

protected:
    void OnInitDialog() override;
    // Escape goes on to the parameter dialog (which closes) unless the page
    // keeps it.
    void keyPressEvent(QKeyEvent* event) override;

    // The page's apply button (id `id`), titled by its entry of the section.
    // It has no action: every edit is stored as it is made.
    CXPButton* MakeApplyButton(int id);
    // A label with its id and text entry (-1: a fixed unit text).
    QLabel* AddLabel(QGridLayout* grid, int row, int column, int id, int entry, const char* text);
    // An edit whose typed numbers go to `onValue`; texts that are no finite
    // number change nothing. Fills never call it.
    QLineEdit* AddEdit(QGridLayout* grid, int row, int column, int id, std::function<void(double)> onValue);
    // A drop-down list whose items are the texts of `entries` (or the fixed
    // `items` when no entries are given); the operator's choice goes to
    // `onChoice`.
    QComboBox* AddCombo(QGridLayout* grid, int row, int column, int id, std::vector<int> entries,
                        std::vector<const char*> items, std::function<void(int)> onChoice);
    // Sets an edit's text as a fill does, without running its handler.
    void SetNumber(int id, double value) const;
    // Selects a list item as a fill does; an index outside the list selects
    // nothing.
    void SetChoice(int id, int index) const;
    void SetVisible(std::initializer_list<int> ids, bool visible) const;

    MachineParams* m_pParams = nullptr;
    bool m_keepEscape = false;

private:
    struct TextEntry {
        QWidget* control;
        int entry;
    };
    struct ItemEntries {
        QComboBox* combo;
        std::vector<int> entries;
    };
    std::vector<TextEntry> m_texts;
    std::vector<ItemEntries> m_items;
};
