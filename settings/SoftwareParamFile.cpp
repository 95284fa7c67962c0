// software.par: the option fields of the settings block and the four
// remembered folders, in the parameter folder.
#include "HexUtf16Text.h"
#include "ParamTextFile.h"
#include "ReadParamFile.h"
#include "SoftwareSettings.h"
#include "platform/CodePage.h"

#include <string_view>

namespace {

constexpr const char* kSoftwareFile = "software.par";
// The ordering band height is never taken below this.
constexpr double kMinPathHight = 0.5;

std::uint8_t AsBool(std::string_view value)
{
    return ParamSignedValue(value) != 0 ? 1 : 0;
}

// Folders are kept as UTF-8 paths and stored as HexUtf16Text.
std::string FolderOf(std::string_view value)
{
    return plat::Utf16ToUtf8(DecodeHexName(value));
}

void StoreOption(SoftwareSettings& s, std::string_view key, std::string_view value)
{
    if (key == "circle show")
        s.circle_show = ParamSigned<std::uint8_t>(value);
    else if (key == "circle import")
        s.circle_import = ParamSigned<std::uint8_t>(value);
    else if (key == "circle export")
        s.circle_export = ParamSigned<std::uint8_t>(value);
    else if (key == "speed units")
        s.speed_units = ParamSigned<std::uint8_t>(value);
    else if (key == "dxf dimension")
        s.dxf_dimension = ParamSigned<std::uint8_t>(value);
    else if (key == "plt resolution")
        s.plt_resolution = ParamSigned<std::int32_t>(value);
    else if (key == "plt other resolution")
        s.plt_other_resolution = ParamSigned<std::int32_t>(value);
    else if (key == "bitmap type")
        s.bitmap_type = ParamSigned<std::uint8_t>(value);
    else if (key == "bitmap dot")
        s.bitmap_dot = AsBool(value);
    else if (key == "dot agl")
        s.dot_agl = ParamSigned<std::uint8_t>(value);
    else if (key == "dot size")
        s.dot_size = ParamRealValue(value);
    else if (key == "use path")
        s.use_path = ParamSigned<std::uint8_t>(value);
    else if (key == "path in out")
        s.path_in_out = ParamSigned<std::uint8_t>(value);
    else if (key == "path by layer")
        s.path_by_layer = ParamSigned<std::uint8_t>(value);
    else if (key == "path meta pos")
        s.path_meta_pos = ParamSigned<std::uint8_t>(value);
    else if (key == "path mode")
        s.path_mode = ParamSigned<std::uint8_t>(value);
    else if (key == "path work pos")
        s.path_work_pos = ParamSigned<std::uint8_t>(value);
    else if (key == "path width")
        s.path_width = ParamRealValue(value);
    else if (key == "path hight") {
        const double v = ParamRealValue(value);
        s.path_hight = v > kMinPathHight ? v : kMinPathHight;
    } else if (key == "open_file_dir")
        s.open_file_dir = FolderOf(value);
    else if (key == "import_file_dir")
        s.import_file_dir = FolderOf(value);
    else if (key == "machine_prm_dir")
        s.machine_prm_dir = FolderOf(value);
    else if (key == "layer_prm_dir")
        s.layer_prm_dir = FolderOf(value);
    else if (key == "show_net")
        s.show_net = AsBool(value);
    else if (key == "m_file_view")
        s.m_file_view = AsBool(value);
    else if (key == "net_interval")
        s.net_interval = ParamRealValue(value);
    else if (key == "comebin_dis")
        s.comebin_dis = ParamRealValue(value);
    else if (key == "use_comebin")
        s.use_comebin = AsBool(value);
    else if (key == "m_assist_mode")
        s.m_assist_mode = AsBool(value);
}

} // namespace

bool CReadParamFile::WriteSoftwareParam(const SoftwareSettings& s) const
{
    ParamTextFile file;
    file.AddSigned("circle show", s.circle_show);
    file.AddSigned("circle import", s.circle_import);
    file.AddSigned("circle export", s.circle_export);
    file.AddSigned("speed units", s.speed_units);
    file.AddSigned("dxf dimension", s.dxf_dimension);
    file.AddSigned("plt resolution", s.plt_resolution);
    file.AddSigned("plt other resolution", s.plt_other_resolution);
    file.AddSigned("bitmap type", s.bitmap_type);
    file.AddSigned("bitmap dot", s.bitmap_dot);
    file.AddSigned("dot agl", s.dot_agl);
    file.AddReal("dot size", s.dot_size);
    file.AddSigned("use path", s.use_path);
    file.AddSigned("path in out", s.path_in_out);
    file.AddSigned("path by layer", s.path_by_layer);
    file.AddSigned("path meta pos", s.path_meta_pos);
    file.AddSigned("path mode", s.path_mode);
    file.AddSigned("path work pos", s.path_work_pos);
    file.AddReal("path width", s.path_width);
    file.AddReal("path hight", s.path_hight);
    file.AddHexText("open_file_dir", plat::Utf8ToUtf16(s.open_file_dir));
    file.AddHexText("import_file_dir", plat::Utf8ToUtf16(s.import_file_dir));
    file.AddHexText("machine_prm_dir", plat::Utf8ToUtf16(s.machine_prm_dir));
    file.AddHexText("layer_prm_dir", plat::Utf8ToUtf16(s.layer_prm_dir));
    file.AddSigned("show_net", s.show_net);
    file.AddSigned("m_file_view", s.m_file_view);
    file.AddReal("net_interval", s.net_interval);
    file.AddReal("comebin_dis", s.comebin_dis);
    file.AddSigned("use_comebin", s.use_comebin != 0 ? 1 : 0);
    file.AddSigned("m_assist_mode", s.m_assist_mode);
    return file.Write(GetParamPath() + kSoftwareFile);
}

bool CReadParamFile::ReadSoftwareParam(SoftwareSettings& s) const
{
    // These two have no default of their own: they keep what the block held.
    const std::uint8_t showNet = s.show_net;
    const std::uint8_t fileView = s.m_file_view;
    s.SetOptionDefaults();
    s.show_net = showNet;
    s.m_file_view = fileView;

    const bool opened = ParamTextFile::Read(GetParamPath() + kSoftwareFile,
                                            [&](std::string_view key, std::string_view value) {
                                                StoreOption(s, key, value);
                                            });
    if (!opened)
        WriteSoftwareParam(s);
    return true;
}
