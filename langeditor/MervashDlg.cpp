#include "langeditor/MervashDlg.h"

#include "langeditor/ControlId.h"
#include "langeditor/SetLangName.h"
#include "langeditor/StrColumnInsert.h"
#include "langeditor/StrEdit.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QSaveFile>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QString Q(const std::u16string& s)
{
    return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size()));
}

std::u16string U(const QString& s)
{
    return s.toStdU16String();
}

QPushButton* Button(const QString& text, int id, QWidget* parent)
{
    auto* b = new QPushButton(text, parent);
    SetControlId(b, id);
    b->setAutoDefault(false);
    return b;
}

} // namespace

CMervashDlg::Seams CMervashDlg::DefaultSeams()
{
    Seams s;
    s.editStrings = [](QWidget* parent, QString& text) {
        CStrEdit dlg(text, parent);
        if (dlg.exec() != QDialog::Accepted)
            return false;
        text = dlg.Text();
        return true;
    };
    s.askColumn = [](QWidget* parent, bool withContent, QString& content, int& column) {
        CStrColumnInsert dlg(withContent, parent);
        if (dlg.exec() != QDialog::Accepted)
            return false;
        content = dlg.Content();
        column = dlg.Column();
        return true;
    };
    s.askName = [](QWidget* parent, QString& name) {
        CSetLangName dlg(parent);
        if (dlg.exec() != QDialog::Accepted)
            return false;
        name = dlg.Name();
        return true;
    };
    s.message = [](QWidget* parent, const QString& text) {
        QMessageBox::information(parent, QStringLiteral("Mervash"), text);
    };
    s.askSave = [](QWidget* parent) {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Mervash"),
                        QStringLiteral("语言文件有未保存的修改，是否保存？/The language files have unsaved changes. Save them?"),
                        QMessageBox::NoButton, parent);
        QAbstractButton* save = box.addButton(QStringLiteral("保存/Save"), QMessageBox::AcceptRole);
        QAbstractButton* discard = box.addButton(QStringLiteral("不保存/Discard"), QMessageBox::DestructiveRole);
        box.addButton(QStringLiteral("取消/Cancel"), QMessageBox::RejectRole);
        box.exec();
        if (box.clickedButton() == save)
            return CloseAnswer::Save;
        return box.clickedButton() == discard ? CloseAnswer::Discard : CloseAnswer::Cancel;
    };
    return s;
}

CMervashDlg::CMervashDlg(const std::string& folder, QWidget* parent)
    : QDialog(parent), m_seams(DefaultSeams())
{
    setWindowTitle(QStringLiteral("Mervash"));
    m_grid = new QTableWidget(this);
    SetControlId(m_grid, 1001);
    m_grid->setShowGrid(true);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->horizontalHeader()->setSectionsMovable(true);
    m_grid->verticalHeader()->hide();
    m_grid->setContextMenuPolicy(Qt::CustomContextMenu);
    m_grid->viewport()->installEventFilter(this);
    connect(m_grid, &QWidget::customContextMenuRequested, this, &CMervashDlg::OnContextMenu);

    m_search = new QLineEdit(this);
    SetControlId(m_search, 1021);
    m_check = new QCheckBox(this);
    SetControlId(m_check, 1020);
    m_check->setChecked(true);

    auto* row = new QHBoxLayout;
    const struct { const char* text; int id; } buttons[] = {
        {"保存/Save", IDC_SAVE},
        {"新增语言/New language", IDC_NEW_LANGUAGE},
        {"删除语言/Delete language", IDC_DELETE_LANGUAGE},
    };
    for (const auto& b : buttons) {
        QPushButton* button = Button(QString::fromUtf8(b.text), b.id, this);
        connect(button, &QPushButton::clicked, this, [this, id = b.id] { OnCommand(id); });
        row->addWidget(button);
    }
    row->addWidget(m_check);
    row->addStretch();
    row->addWidget(m_search);
    QPushButton* search = Button(QStringLiteral("查找/Search"), IDC_SEARCH, this);
    connect(search, &QPushButton::clicked, this, [this] { OnCommand(IDC_SEARCH); });
    row->addWidget(search);
    // The window manager's menu cannot be extended: About is a button.
    QPushButton* about = Button(QStringLiteral("关于 Mervash(&A)..."), 0, this);
    connect(about, &QPushButton::clicked, this, &CMervashDlg::OnAbout);
    row->addWidget(about);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_grid);
    layout->addLayout(row);
    resize(900, 600);

    m_files.Load(folder);
    m_saved = m_files.Languages();
    Refill();
}

bool CMervashDlg::HasUnsavedEdits() const
{
    const std::vector<LangRecord>& now = m_files.Languages();
    return now.size() != m_saved.size() ||
           !std::equal(now.begin(), now.end(), m_saved.begin(),
                       [](const LangRecord& a, const LangRecord& b) { return a.strings == b.strings; });
}

void CMervashDlg::reject()
{
    if (HasUnsavedEdits()) {
        const CloseAnswer answer = m_seams.askSave ? m_seams.askSave(this) : CloseAnswer::Cancel;
        if (answer == CloseAnswer::Cancel || (answer == CloseAnswer::Save && !OnSave()))
            return;
    }
    QDialog::reject();
}

int CMervashDlg::SelectedRow() const
{
    const QList<QTableWidgetSelectionRange> ranges = m_grid->selectedRanges();
    return ranges.isEmpty() ? -1 : ranges.front().topRow();
}

void CMervashDlg::SelectRow(int row)
{
    if (row >= 0 && row < m_grid->rowCount())
        m_grid->selectRow(row);
    else
        m_grid->clearSelection();
}

void CMervashDlg::Refill()
{
    const int selected = SelectedRow();
    const auto& langs = m_files.Languages();
    const int rows = m_files.RowCount();
    m_grid->setUpdatesEnabled(false);
    m_grid->clearSelection();
    m_grid->setRowCount(0);
    m_grid->setColumnCount(static_cast<int>(langs.size()) + 1);
    m_grid->setHorizontalHeaderItem(0, new QTableWidgetItem(QStringLiteral("序号")));
    m_grid->setColumnWidth(0, 50);
    m_grid->setRowCount(rows);
    const std::vector<std::u16string> numbers = m_files.NumberColumn();
    for (int r = 0; r < rows; ++r)
        m_grid->setItem(r, 0, new QTableWidgetItem(Q(numbers[static_cast<std::size_t>(r)])));
    for (std::size_t c = 0; c < langs.size(); ++c) {
        const int col = static_cast<int>(c) + 1;
        m_grid->setHorizontalHeaderItem(col, new QTableWidgetItem(QString::fromStdString(CLangFiles::FileNameOf(langs[c]))));
        m_grid->setColumnWidth(col, 230);
        const auto& strings = langs[c].strings;
        const int n = std::min(rows, static_cast<int>(strings.size()));
        for (int r = 0; r < n; ++r)
            m_grid->setItem(r, col, new QTableWidgetItem(Q(strings[static_cast<std::size_t>(r)])));
    }
    m_grid->setUpdatesEnabled(true);
    if (selected > 2 && selected < rows) {
        m_grid->scrollToItem(m_grid->item(selected - 2, 0), QAbstractItemView::PositionAtTop);
        m_grid->setFocus();
        m_grid->selectRow(selected);
    }
}

void CMervashDlg::Message(const QString& text)
{
    if (m_seams.message)
        m_seams.message(this, text);
}

void CMervashDlg::OnCommand(int id)
{
    const int row = SelectedRow();
    const auto& langs = m_files.Languages();
    switch (id) {
    case ID_STR_DELETE:
        m_files.Delete(row);
        break;
    case ID_STR_ADD:
    case ID_STR_INSERT:
    case ID_STR_EDIT: {
        if ((id == ID_STR_INSERT && row <= 0) || (id == ID_STR_EDIT && row < 0))
            return;
        QString text;
        if (id == ID_STR_EDIT) {
            for (const LangRecord& lang : langs) {
                if (static_cast<std::size_t>(row) < lang.strings.size())
                    text += Q(lang.strings[static_cast<std::size_t>(row)]);
                text += QLatin1Char('\n');
            }
        }
        if (!m_seams.editStrings || !m_seams.editStrings(this, text))
            return;
        const std::vector<std::u16string> lines = m_files.TakeLines(U(text));
        if (id == ID_STR_ADD)
            m_files.Add(lines);
        else if (id == ID_STR_INSERT)
            m_files.Insert(row, lines);
        else
            m_files.Edit(row, lines);
        break;
    }
    case ID_COLUMN_INSERT:
    case ID_COLUMN_DELETE: {
        if (row <= 0)
            return;
        QString content;
        int column = 0;
        const bool insert = id == ID_COLUMN_INSERT;
        if (!m_seams.askColumn || !m_seams.askColumn(this, insert, content, column))
            return;
        if (insert)
            m_files.ColumnInsert(row, column, U(content));
        else
            m_files.ColumnDelete(row, column);
        break;
    }
    case IDC_NEW_LANGUAGE:
    case IDC_DELETE_LANGUAGE: {
        QString name;
        if (!m_seams.askName || !m_seams.askName(this, name))
            return;
        if (id == IDC_DELETE_LANGUAGE)
            m_files.DeleteLanguage(U(name));
        else if (!name.isEmpty()) // a nameless language would be saved as ".txt"
            m_files.NewLanguage(U(name));
        break;
    }
    case IDC_SAVE:
        OnSave();
        return;
    case IDC_SEARCH:
        OnSearch();
        return;
    default:
        return;
    }
    Refill();
}

bool CMervashDlg::OnSave()
{
    // Two languages of one name would be written to one file, the second
    // replacing the first: nothing is written then.
    const std::vector<std::u16string> dups = m_files.DuplicateNames();
    if (!dups.empty()) {
        QString text = QStringLiteral("多种语言同名，未保存/Languages share a name, nothing saved:");
        for (const std::u16string& name : dups)
            text += QLatin1Char('\n') + Q(name);
        Message(text);
        return false;
    }
    QStringList failed;
    for (const LangRecord& lang : m_files.Languages()) {
        const QString path = QString::fromStdString(m_files.Folder() + CLangFiles::FileNameOf(lang));
        const std::string bytes = CLangFiles::FileBytes(lang);
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size()) ||
            !file.commit())
            failed << path;
    }
    if (!failed.isEmpty()) {
        Message(QStringLiteral("以下文件未能保存/These files were not saved:\n") + failed.join(QLatin1Char('\n')));
        return false;
    }
    m_saved = m_files.Languages();
    return true;
}

void CMervashDlg::OnSearch()
{
    const std::u16string text = U(m_search->text());
    if (m_files.RowCount() == 0) {
        Message(QStringLiteral("列表里无内容可查，请先导入或者新增!"));
        return;
    }
    if (text.empty()) {
        Message(QStringLiteral("请输入查找内容!"));
        m_search->setFocus();
        return;
    }
    int start = std::max(SelectedRow(), 0);
    if (text == m_lastSearch) {
        ++start;
    } else {
        m_lastSearch = text;
        m_hits = 0;
    }
    const int hit = m_files.FindFrom(start, text);
    if (hit >= 0) {
        ++m_hits;
        m_grid->scrollToItem(m_grid->item(std::max(hit - 1, 0), 0), QAbstractItemView::PositionAtTop);
        m_grid->setFocus();
        m_grid->selectRow(hit);
    } else if (m_hits == 0) {
        Message(QStringLiteral("没有找到“") + Q(text) + QStringLiteral("”！"));
    }
}

void CMervashDlg::OnContextMenu(const QPoint& pos)
{
    if (SelectedRow() < 0)
        return;
    QMenu menu(this);
    const struct { const char* text; int id; } items[] = {
        {"删除/Delete", ID_STR_DELETE},         {"添加/Add", ID_STR_ADD},
        {"插入/Insert", ID_STR_INSERT},         {"编辑/Edit", ID_STR_EDIT},
        {"按列插入/Insert in column", ID_COLUMN_INSERT}, {"按列删除/Delete in column", ID_COLUMN_DELETE},
    };
    for (const auto& item : items)
        menu.addAction(QString::fromUtf8(item.text))->setData(item.id);
    if (QAction* chosen = menu.exec(m_grid->viewport()->mapToGlobal(pos)))
        OnCommand(chosen->data().toInt());
}

void CMervashDlg::OnAbout()
{
    QMessageBox box(this);
    box.setWindowTitle(QStringLiteral("关于 Mervash"));
    box.setText(QStringLiteral("Mervash 1.0 版"));
    box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
    box.exec();
}

bool CMervashDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_grid->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const QModelIndex index = m_grid->indexAt(mouse->position().toPoint());
        if (!index.isValid()) {
            m_grid->clearSelection();
            OnCommand(ID_STR_ADD);
        } else if (index.row() > 0) {
            m_grid->selectRow(index.row());
            OnCommand(ID_STR_EDIT);
        }
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
