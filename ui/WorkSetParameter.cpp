#include "WorkSetParameter.h"

#include "qtplatform/NumberEdit.h"
#include "WorkSetParamCarve.h"
#include "WorkSetParamCut.h"
#include "XPButton.h"
#include "qtplatform/FrameworkText.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocListNode.h"
#include "platform/Prompt.h"
#include "settings/LayerParamFile.h"
#include "settings/ReadParamFile.h"
#include "settings/SoftwareSettings.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

#include <utility>

namespace {

constexpr const char* kPrpFilter = "Process param files (*.prp)";
constexpr int kExistsText = 35;

CWorkSetParameter::FileChooser g_chooser;

bool AskFileName(bool save, const std::string& folder, std::string& path)
{
    QFileDialog dialog(QApplication::activeWindow());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    // Saving asks about an existing file itself, once.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilter(QString::fromLatin1(kPrpFilter));
    dialog.setDirectory(QString::fromStdString(folder));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    path = dialog.selectedFiles().front().toStdString();
    return true;
}

struct Text {
    int id;
    int entry;
    const char* text;
};
constexpr Text kTexts[] = {
    {1042, 1, "Cut"},           {1052, 2, "Scan"},           {1040, 5, "Speed"},
    {1053, 6, "Speed"},         {1044, 7, "Corner Power 1 (%)"}, {1065, 7, "Corner Power 1 (%)"},
    {1046, 8, "Work Power 1 (%)"}, {1048, 9, "Corner Power 2 (%)"}, {1068, 9, "Corner Power 2 (%)"},
    {1050, 10, "Work Power 2 (%)"}, {1055, 11, "Travel Speed"}, {1059, 12, "Work Power 1 (%)"},
    {1063, 13, "Work Power 2 (%)"}, {1067, 14, "Scan Style"},   {1069, 19, "Line Spacing (mm)"},
    {1072, 20, "Slope (mm)"},   {1058, 21, "OK"},            {1071, 22, "Cancel"},
    {1075, 31, "Load"},         {1076, 32, "Save"},          {1256, 33, "Default Power"},
    {1258, 33, "Default Power"}, {1061, -1, ">>"},           {1062, -1, ">>"},
};

} // namespace

void CWorkSetParameter::SetFileChooser(FileChooser chooser)
{
    g_chooser = std::move(chooser);
}

CWorkSetParameter::CWorkSetParameter(WorkParams* layers, int layer, DOCCONTEXT* context, QWidget* parent)
    : CDialogBase(IDD, u"phase10:layer-param", parent), m_pLayers(layers), m_nLayer(layer), m_pContext(context)
{
    SetDefaults(m_loaded);
    setWindowTitle(QStringLiteral("Layer Parameters"));
    auto* layout = new QGridLayout(this);
    auto named = [](QWidget* w, int id) {
        w->setObjectName(QString::number(id));
        return w;
    };
    auto row = [&](QGridLayout* g, int r, int labelId, QWidget* field, int unitId = 0) {
        g->addWidget(named(new QLabel(this), labelId), r, 0);
        g->addWidget(field, r, 1);
        if (unitId != 0)
            g->addWidget(named(new QLabel(this), unitId), r, 2);
    };
    auto button = [&](int id) {
        auto* b = new CXPButton(this);
        named(b, id);
        b->setAutoDefault(false);
        return b;
    };

    auto* cut = new QGroupBox(this);
    auto* c = new QGridLayout(cut);
    c->addWidget(named(new QCheckBox(cut), IDC_CUT), 0, 0);
    c->addWidget(named(new QCheckBox(cut), IDC_CUT_DEFAULT), 0, 1);
    row(c, 1, 1040, MakeNumberEdit(IDC_CUT_SPEED, cut), 1387);
    row(c, 2, 1055, MakeNumberEdit(IDC_FREE_SPEED, cut), 1388);
    row(c, 3, 1044, MakeNumberEdit(IDC_CUT_MIN1, cut));
    row(c, 4, 1046, MakeNumberEdit(IDC_CUT_MAX1, cut));
    row(c, 5, 1048, MakeNumberEdit(IDC_CUT_MIN2, cut));
    row(c, 6, 1050, MakeNumberEdit(IDC_CUT_MAX2, cut));
    c->addWidget(button(IDC_CUT_MORE), 7, 1);

    auto* scan = new QGroupBox(this);
    auto* s = new QGridLayout(scan);
    s->addWidget(named(new QCheckBox(scan), IDC_SCAN), 0, 0);
    s->addWidget(named(new QCheckBox(scan), IDC_SCAN_DEFAULT), 0, 1);
    row(s, 1, 1053, MakeNumberEdit(IDC_SCAN_SPEED, scan), 1389);
    row(s, 2, 1065, MakeNumberEdit(IDC_SCAN_MIN1, scan));
    row(s, 3, 1059, MakeNumberEdit(IDC_SCAN_MAX1, scan));
    row(s, 4, 1068, MakeNumberEdit(IDC_SCAN_MIN2, scan));
    row(s, 5, 1063, MakeNumberEdit(IDC_SCAN_MAX2, scan));
    row(s, 6, 1067, named(new QComboBox(scan), IDC_METHOD));
    row(s, 7, 1069, MakeNumberEdit(IDC_PRECISION, scan));
    row(s, 8, 1072, MakeNumberEdit(IDC_INCLINE, scan));
    s->addWidget(button(IDC_SCAN_MORE), 9, 1);

    layout->addWidget(cut, 0, 0);
    layout->addWidget(scan, 0, 1);
    layout->addWidget(named(new QComboBox(this), IDC_WORK_LEVEL), 1, 0);
    auto* buttons = new QHBoxLayout;
    for (int id : {IDC_LOAD, IDC_SAVE, IDC_OK, IDC_CANCEL})
        buttons->addWidget(button(id));
    layout->addLayout(buttons, 2, 0, 1, 2);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    for (const Text& t : kTexts) {
        QWidget* w = findChild<QWidget*>(QString::number(t.id));
        if (auto* l = qobject_cast<QLabel*>(w))
            l->setText(QString::fromLatin1(t.text));
        else if (auto* b = qobject_cast<QAbstractButton*>(w))
            b->setText(QString::fromLatin1(t.text));
    }

    for (int id : {IDC_CUT, IDC_SCAN, IDC_CUT_DEFAULT, IDC_SCAN_DEFAULT}) {
        connect(Check(id), &QCheckBox::clicked, this, [this] {
            ReadSwitches();
            UpdateEnabling();
        });
    }
    connect(Edit(IDC_INCLINE), &QLineEdit::textChanged, this, [this] { OnInclineChanged(); });
    connect(static_cast<QPushButton*>(Control(IDC_CUT_MORE)), &QPushButton::clicked, this, [this] { OnCutMore(); });
    connect(static_cast<QPushButton*>(Control(IDC_SCAN_MORE)), &QPushButton::clicked, this, [this] { OnScanMore(); });
    connect(static_cast<QPushButton*>(Control(IDC_LOAD)), &QPushButton::clicked, this, [this] { OnLoad(); });
    connect(static_cast<QPushButton*>(Control(IDC_SAVE)), &QPushButton::clicked, this, [this] { OnSave(); });
    connect(static_cast<QPushButton*>(Control(IDC_OK)), &QPushButton::clicked, this, &QDialog::accept);
    connect(static_cast<QPushButton*>(Control(IDC_CANCEL)), &QPushButton::clicked, this, &QDialog::reject);
}

QLineEdit* CWorkSetParameter::Edit(int id) const
{
    return findChild<QLineEdit*>(QString::number(id));
}

QCheckBox* CWorkSetParameter::Check(int id) const
{
    return findChild<QCheckBox*>(QString::number(id));
}

QComboBox* CWorkSetParameter::Combo(int id) const
{
    return findChild<QComboBox*>(QString::number(id));
}

QWidget* CWorkSetParameter::Control(int id) const
{
    return findChild<QWidget*>(QString::number(id));
}

SoftwareSettings& CWorkSetParameter::Settings() const
{
    return SettingsOf(m_pContext);
}

WorkParams* CWorkSetParameter::Record() const
{
    return FindLayerParams(m_pLayers, m_nLayer);
}

double CWorkSetParameter::ShownSpeed(double mmPerSecond) const
{
    return Settings().speed_units == 1 ? mmPerSecond * 60.0 / 1000.0 : mmPerSecond;
}

double CWorkSetParameter::StoredSpeed(double shown) const
{
    return Settings().speed_units == 1 ? shown * 1000.0 / 60.0 : shown;
}

void CWorkSetParameter::OnInitDialog()
{
    SetTitleFromSection(0);
    for (const Text& t : kTexts) {
        if (t.entry >= 0)
            SetTextFromSection(Control(t.id), t.entry);
    }
    auto fill = [this](QComboBox* combo, std::initializer_list<int> entries, std::initializer_list<const char*> texts) {
        combo->clear();
        auto text = texts.begin();
        for (int entry : entries) {
            const std::u16string s = SectionText(entry);
            combo->addItem(s.empty() ? QString::fromLatin1(*text) : QString::fromStdU16String(s));
            ++text;
        }
    };
    fill(Combo(IDC_WORK_LEVEL), {3, 4}, {"Cut First", "Scan First"});
    fill(Combo(IDC_METHOD), {15, 16, 17, 18},
         {"Rows, One Way", "Rows, Both Ways", "Columns, One Way", "Columns, Both Ways"});
    const QString unit = Settings().speed_units == 1 ? QStringLiteral("m/min") : QStringLiteral("mm/s");
    for (int id : {1387, 1388, 1389})
        static_cast<QLabel*>(Control(id))->setText(unit);

    m_bBitmap = false;
    if (m_pContext != nullptr && m_pContext->m_pCurrent != nullptr) {
        for (const CDocData* o = m_pContext->m_pCurrent->m_pFirst; o != nullptr && !m_bBitmap; o = o->m_pNext)
            m_bBitmap = o->m_nLayer == m_nLayer && o->GetType() == MT_BITMAP;
    }
    WorkParams shown{};
    if (const WorkParams* rec = Record())
        shown = *rec;
    ShowRecord(shown);
}

void CWorkSetParameter::ShowRecord(const WorkParams& rec)
{
    m_dCutSpeed = ShownSpeed(rec.m_b_speed);
    m_dFreeSpeed = ShownSpeed(rec.m_b_free_speed);
    m_dScanSpeed = ShownSpeed(rec.m_s_speed);
    m_dCutMin1 = rec.m_b_min_light1;
    m_dCutMax1 = rec.m_b_max_light1;
    m_dCutMin2 = rec.m_b_min_light2;
    m_dCutMax2 = rec.m_b_max_light2;
    m_dScanMin1 = rec.m_s_min_light1;
    m_dScanMin2 = rec.m_s_min_light2;
    m_dScanMax1 = rec.m_s_max_light1;
    m_dScanMax2 = rec.m_s_max_light2;
    m_bCutDefault = rec.m_b_light_def != 0 ? 1 : 0;
    m_bScanDefault = rec.m_s_light_def != 0 ? 1 : 0;
    m_nMethod = rec.m_s_method;
    m_dPrecision = rec.m_s_precision;
    m_dIncline = rec.m_s_incline;
    m_nWorkLevel = rec.m_sweep_first;
    m_bBorder = rec.m_border != 0 ? 1 : 0;
    m_bSweep = rec.m_sweep != 0 ? 1 : 0;

    const std::pair<int, double> edits[] = {
        {IDC_CUT_SPEED, m_dCutSpeed}, {IDC_FREE_SPEED, m_dFreeSpeed}, {IDC_SCAN_SPEED, m_dScanSpeed},
        {IDC_CUT_MIN1, m_dCutMin1},   {IDC_CUT_MAX1, m_dCutMax1},     {IDC_CUT_MIN2, m_dCutMin2},
        {IDC_CUT_MAX2, m_dCutMax2},   {IDC_SCAN_MIN1, m_dScanMin1},   {IDC_SCAN_MIN2, m_dScanMin2},
        {IDC_SCAN_MAX1, m_dScanMax1}, {IDC_SCAN_MAX2, m_dScanMax2},   {IDC_PRECISION, m_dPrecision},
        {IDC_INCLINE, m_dIncline},
    };
    for (const auto& [id, value] : edits) {
        QSignalBlocker quiet(Edit(id));
        Edit(id)->setText(NumberText(value));
    }
    Check(IDC_CUT)->setChecked(m_bBorder != 0);
    Check(IDC_SCAN)->setChecked(m_bSweep != 0);
    Check(IDC_CUT_DEFAULT)->setChecked(m_bCutDefault != 0);
    Check(IDC_SCAN_DEFAULT)->setChecked(m_bScanDefault != 0);
    Combo(IDC_METHOD)->setCurrentIndex(m_nMethod < Combo(IDC_METHOD)->count() ? m_nMethod : -1);
    Combo(IDC_WORK_LEVEL)->setCurrentIndex(m_nWorkLevel < Combo(IDC_WORK_LEVEL)->count() ? m_nWorkLevel : -1);
    UpdateEnabling();
}

void CWorkSetParameter::ReadSwitches()
{
    m_bBorder = Check(IDC_CUT)->isChecked() ? 1 : 0;
    m_bSweep = Check(IDC_SCAN)->isChecked() ? 1 : 0;
    m_bCutDefault = Check(IDC_CUT_DEFAULT)->isChecked() ? 1 : 0;
    m_bScanDefault = Check(IDC_SCAN_DEFAULT)->isChecked() ? 1 : 0;
    m_nWorkLevel = Combo(IDC_WORK_LEVEL)->currentIndex();
    m_nMethod = Combo(IDC_METHOD)->currentIndex();
}

bool CWorkSetParameter::ReadControls()
{
    ReadSwitches();
    const std::pair<int, double*> edits[] = {
        {IDC_CUT_SPEED, &m_dCutSpeed}, {IDC_FREE_SPEED, &m_dFreeSpeed}, {IDC_CUT_MIN1, &m_dCutMin1},
        {IDC_CUT_MAX1, &m_dCutMax1},   {IDC_CUT_MIN2, &m_dCutMin2},     {IDC_CUT_MAX2, &m_dCutMax2},
        {IDC_SCAN_SPEED, &m_dScanSpeed}, {IDC_SCAN_MAX1, &m_dScanMax1}, {IDC_SCAN_MAX2, &m_dScanMax2},
        {IDC_SCAN_MIN1, &m_dScanMin1}, {IDC_SCAN_MIN2, &m_dScanMin2},   {IDC_PRECISION, &m_dPrecision},
        {IDC_INCLINE, &m_dIncline},
    };
    for (const auto& [id, value] : edits) {
        if (!TakeNumberEdit(Edit(id), *value))
            return false;
    }
    return true;
}

void CWorkSetParameter::UpdateEnabling()
{
    auto enable = [this](std::initializer_list<int> ids, bool on) {
        for (int id : ids)
            Control(id)->setEnabled(on);
    };
    if (m_bBorder != 0) {
        enable({IDC_CUT_SPEED, IDC_FREE_SPEED, IDC_WORK_LEVEL, IDC_CUT_MORE, IDC_CUT_DEFAULT, IDC_CUT}, true);
        enable({IDC_CUT_MIN1, IDC_CUT_MAX1, IDC_CUT_MIN2, IDC_CUT_MAX2}, m_bCutDefault == 0);
    } else {
        enable({IDC_CUT_SPEED, IDC_FREE_SPEED, IDC_CUT_MIN1, IDC_CUT_MAX1, IDC_CUT_MIN2, IDC_CUT_MAX2,
                IDC_WORK_LEVEL, IDC_CUT_MORE, IDC_CUT_DEFAULT},
               false);
        // A bitmap layer cannot be switched to cutting.
        if (m_bBitmap)
            enable({IDC_CUT, IDC_WORK_LEVEL}, false);
    }
    if (m_bSweep != 0) {
        enable({IDC_SCAN_SPEED, IDC_METHOD, IDC_PRECISION, IDC_INCLINE, IDC_SCAN_MORE, IDC_SCAN_DEFAULT}, true);
        enable({IDC_SCAN_MAX1, IDC_SCAN_MAX2}, m_bScanDefault == 0);
        enable({IDC_SCAN_MIN1, IDC_SCAN_MIN2}, m_bScanDefault == 0 && m_dIncline > 0.0);
    } else {
        enable({IDC_SCAN_SPEED, IDC_SCAN_MIN1, IDC_SCAN_MIN2, IDC_SCAN_MAX1, IDC_SCAN_MAX2, IDC_METHOD,
                IDC_PRECISION, IDC_WORK_LEVEL, IDC_INCLINE, IDC_SCAN_MORE, IDC_SCAN_DEFAULT},
               false);
    }
}

void CWorkSetParameter::OnInclineChanged()
{
    QLineEdit* incline = Edit(IDC_INCLINE);
    if (incline->text().isEmpty()) {
        QSignalBlocker quiet(incline);
        incline->setText(QStringLiteral("0"));
    }
    // Read while typing: a text on its way to a number ("-", "1e") is not
    // an error to report at every key; the slope keeps its last value.
    ReadSwitches();
    ReadNumberEdit(incline, m_dIncline);
    UpdateEnabling();
}

void CWorkSetParameter::StoreValues(WorkParams& rec) const
{
    rec.m_border = m_bBorder != 0 ? 1 : 0;
    rec.m_sweep = m_bSweep != 0 ? 1 : 0;
    rec.m_sweep_first = static_cast<std::uint16_t>(m_nWorkLevel < 0 ? 0 : m_nWorkLevel);
    rec.m_b_speed = StoredSpeed(m_dCutSpeed);
    rec.m_b_free_speed = StoredSpeed(m_dFreeSpeed);
    rec.m_s_speed = StoredSpeed(m_dScanSpeed);
    rec.m_b_light_def = static_cast<std::uint8_t>(m_bCutDefault);
    rec.m_b_min_light1 = m_dCutMin1;
    rec.m_b_max_light1 = m_dCutMax1;
    rec.m_b_min_light2 = m_dCutMin2;
    rec.m_b_max_light2 = m_dCutMax2;
    rec.m_s_light_def = static_cast<std::uint8_t>(m_bScanDefault);
    rec.m_s_min_light1 = m_dScanMin1;
    rec.m_s_min_light2 = m_dScanMin2;
    rec.m_s_max_light1 = m_dScanMax1;
    rec.m_s_max_light2 = m_dScanMax2;
    rec.m_s_method = static_cast<std::uint8_t>(m_nMethod < 0 ? 0 : m_nMethod);
    rec.m_s_precision = m_dPrecision;
    rec.m_s_incline = m_dIncline;
}

bool CWorkSetParameter::OnOK()
{
    if (!ReadControls())
        return false;
    WorkParams* rec = Record();
    if (rec == nullptr) {
        QDialog::reject();
        return false;
    }
    if (m_bLoaded) {
        m_bLoaded = false;
        WorkParams kept = *rec;
        *rec = m_loaded;
        rec->m_group_num = kept.m_group_num;
        rec->m_pPrev = kept.m_pPrev;
        rec->m_pNext = kept.m_pNext;
    }
    StoreValues(*rec);
    return true;
}

void CWorkSetParameter::reject()
{
    m_bLoaded = false;
    QDialog::reject();
}

void CWorkSetParameter::keyPressEvent(QKeyEvent* event)
{
    // Enter neither stores nor closes; only the OK button does.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    CDialogBase::keyPressEvent(event);
}

void CWorkSetParameter::OnCutMore()
{
    WorkParams* rec = Record();
    if (rec == nullptr)
        return;
    WorkParams& target = m_bLoaded ? m_loaded : *rec;
    CWorkSetParamCut more(target, this);
    if (more.DoModal() == plat::IDOK)
        more.StoreInto(target);
}

void CWorkSetParameter::OnScanMore()
{
    WorkParams* rec = Record();
    if (rec == nullptr)
        return;
    WorkParams& target = m_bLoaded ? m_loaded : *rec;
    CWorkSetParamCarve more(target, this);
    if (more.DoModal() == plat::IDOK)
        more.StoreInto(target);
}

void CWorkSetParameter::RememberFolder(const std::string& path)
{
    SoftwareSettings& settings = Settings();
    const std::size_t slash = path.find_last_of('/');
    settings.layer_prm_dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    CReadParamFile().WriteSoftwareParam(settings);
}

void CWorkSetParameter::OnLoad()
{
    SoftwareSettings& settings = Settings();
    CReadParamFile().ReadSoftwareParam(settings);
    std::string path;
    const FileChooser& choose = g_chooser ? g_chooser : FileChooser(&AskFileName);
    if (!choose(false, settings.layer_prm_dir, path))
        return;
    RememberFolder(path);
    WorkParams read = m_loaded;
    if (!CLayerParamFile::Read(path, read)) {
        plat::MessageBox(
            FrameworkString(FrameworkText::CannotOpenFile).arg(QString::fromStdString(path)).toStdU16String(),
            std::u16string(), plat::MB_OK | plat::MB_ICONERROR);
        return;
    }
    m_bLoaded = true;
    m_loaded = read;
    m_loaded.m_pPrev = nullptr;
    m_loaded.m_pNext = nullptr;
    ShowRecord(m_loaded);
}

void CWorkSetParameter::OnSave()
{
    SoftwareSettings& settings = Settings();
    CReadParamFile().ReadSoftwareParam(settings);
    std::string path;
    const FileChooser& choose = g_chooser ? g_chooser : FileChooser(&AskFileName);
    if (!choose(true, settings.layer_prm_dir, path))
        return;
    RememberFolder(path);
    if (path.size() < 4 || path.compare(path.size() - 4, 4, ".prp") != 0)
        path += ".prp";
    if (QFileInfo::exists(QString::fromStdString(path))) {
        const std::u16string text = QString::fromStdString(path).toStdU16String() + SectionText(kExistsText);
        if (plat::MessageBox(text, std::u16string(), plat::MB_OKCANCEL | plat::MB_ICONWARNING) != plat::IDOK)
            return;
    }
    const WorkParams* rec = Record();
    if (rec == nullptr || !ReadControls())
        return;
    WorkParams out = m_bLoaded ? m_loaded : *rec;
    StoreValues(out);
    if (!CLayerParamFile::Write(path, out))
        plat::MessageBox(
            FrameworkString(FrameworkText::CannotOpenFile).arg(QString::fromStdString(path)).toStdU16String(),
            std::u16string(), plat::MB_OK | plat::MB_ICONERROR);
}
