// Mervash's main dialog: every language file of a folder as one column of a
// grid, every string one row.
#pragma once
#include "langeditor/LangFiles.h"

#include <QDialog>
#include <functional>

class QTableWidget;
class QLineEdit;
class QCheckBox;
class QPushButton;

class CMervashDlg : public QDialog {
    Q_OBJECT
public:
    enum class CloseAnswer { Save, Discard, Cancel };
    // The small dialogs and message boxes the commands open; tests answer
    // them here. Each returns false for Cancel.
    struct Seams {
        std::function<bool(QWidget*, QString& text)> editStrings;
        std::function<bool(QWidget*, bool withContent, QString& content, int& column)> askColumn;
        std::function<bool(QWidget*, QString& name)> askName;
        std::function<void(QWidget*, const QString& text)> message;
        // Unsaved edits at closing: save, discard them or keep editing.
        std::function<CloseAnswer(QWidget*)> askSave;
    };
    static Seams DefaultSeams();

    explicit CMervashDlg(const std::string& folder, QWidget* parent = nullptr);

    void SetSeams(Seams seams) { m_seams = std::move(seams); }
    const CLangFiles& Files() const { return m_files; }
    QTableWidget* Grid() const { return m_grid; }
    QLineEdit* SearchEdit() const { return m_search; }

    // Runs a command by its id (buttons and menu items).
    void OnCommand(int id);
    int SelectedRow() const;
    void SelectRow(int row);
    // Rebuilds the grid from the records, keeping the selection as the
    // editor always has.
    void Refill();
    // The languages differ from the files as loaded or last saved.
    bool HasUnsavedEdits() const;
    // Escape and the close box: with unsaved edits the operator chooses to
    // save them (a save that fails keeps the editor open), drop them, or
    // go on editing.
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // True when every file was written.
    bool OnSave();
    void OnSearch();
    void OnContextMenu(const QPoint& pos);
    void OnAbout();
    void Message(const QString& text);

    CLangFiles m_files;
    Seams m_seams;
    QTableWidget* m_grid;
    QLineEdit* m_search;
    QCheckBox* m_check;
    std::u16string m_lastSearch;
    std::vector<LangRecord> m_saved;
    int m_hits = 0;
};

// The menu commands of the grid.
enum MervashCommand {
    ID_STR_DELETE = 32771,
    ID_STR_ADD = 32772,
    ID_STR_INSERT = 32773,
    ID_STR_EDIT = 32774,
    ID_COLUMN_INSERT = 32777,
    ID_COLUMN_DELETE = 32779,
    IDC_SAVE = 1006,
    IDC_NEW_LANGUAGE = 1007,
    IDC_DELETE_LANGUAGE = 1008,
    IDC_SEARCH = 1022,
};
