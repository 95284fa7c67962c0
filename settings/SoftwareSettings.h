// The one process-wide block of program settings.
#pragma once
#include "platform/Win.h"

#include <array>
#include <cstdint>
#include <string>

struct WorkParams;
struct MachineNode;
class CDocData;

constexpr int kPaletteSize = 256;

// Layer colours as shipped; index = layer.
extern const std::array<COLORREF, kPaletteSize> kDefaultPalette;

struct SoftwareSettings {
    std::array<COLORREF, kPaletteSize> m_palette{};
    std::int32_t m_nCurLayer = 0;
    COLORREF m_crBackground = 0;
    COLORREF m_crGrid = 0;
    COLORREF m_crWorkArea = 0;
    COLORREF m_crAxis = 0;
    COLORREF m_crShadow = 0;
    COLORREF m_crSecondary = 0;
    COLORREF m_crHandles = 0;
    std::uint8_t m_bShowOrder = 0;
    std::uint8_t m_bShowStart = 0;
    std::uint8_t m_bShowDirection = 0;
    std::uint8_t m_bShowTravel = 0;
    std::uint8_t m_bImportHandOver = 0;
    std::uint8_t show_net = 0;
    std::uint8_t m_file_view = 0;
    std::uint8_t m_bLightGuidePage = 0;
    std::uint8_t m_bOrderPage = 0;
    std::uint8_t m_bNestPage = 0;
    std::uint8_t circle_show = 0;
    std::uint8_t circle_import = 0;
    std::uint8_t circle_export = 0;
    std::uint8_t speed_units = 0;
    std::uint8_t dxf_dimension = 0;
    std::int32_t plt_resolution = 0;
    std::int32_t plt_other_resolution = 0;
    std::uint8_t bitmap_type = 0;
    std::uint8_t bitmap_dot = 0;
    std::uint8_t dot_agl = 0;
    double dot_size = 0.0;
    std::uint8_t use_path = 0;
    std::uint8_t path_in_out = 0;
    std::uint8_t path_by_layer = 0;
    std::uint8_t path_meta_pos = 0;
    std::uint8_t path_mode = 0;
    std::uint8_t path_work_pos = 0;
    double path_width = 0.0;
    double path_hight = 0.0;
    WorkParams* m_pLayers = nullptr;
    std::int32_t m_nCurMachine = 0;
    std::int32_t m_nComPort = 0;
    MachineNode* m_pMachines = nullptr;
    CDocData* m_pClipboard = nullptr;
    // Folders as UTF-8 paths.
    std::string open_file_dir;
    std::string import_file_dir;
    std::string machine_prm_dir;
    std::string layer_prm_dir;
    double net_interval = 0.0;
    double comebin_dis = 0.0;
    std::uint8_t use_comebin = 0;
    std::uint8_t m_assist_mode = 0;

    // What the main frame's constructor sets before the settings file is read:
    // palette, interface colours, display switches off, hand-over import on.
    void SetPaletteAndInterfaceDefaults();
    // Defaults of every option stored in software.par, folders emptied.
    void SetOptionDefaults();
    // Colour of a palette index; black outside 0 to 255.
    COLORREF PaletteColor(int index) const;
};

// The settings of this run.
extern SoftwareSettings g_settings;
