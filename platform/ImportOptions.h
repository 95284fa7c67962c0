// The option dialogs that the import asks before or after reading a file:
// the DXF drawing unit, the HPGL resolution and the bitmap options. The
// program shows them with Qt; tests and headless runs answer through the
// implementations below.
#pragma once
#include "Prompt.h"

#include <cstdint>
#include <string>
#include <vector>

namespace plat {

// HPGL resolution dialog. Shown with the drawing's size in file units and
// the current resolution (1000, 1016 or the custom value, dots per inch) and
// custom value; on OK both hold the operator's choice. A resolution below 1
// counts as a cancel.
struct ResolutionChoice {
    double m_dWidth = 0.0;
    double m_dHeight = 0.0;
    std::int32_t m_nResolution = 0;
    std::int32_t m_nCustom = 0;
};

// Bitmap import dialog: greyscale (1) or black and white (0), halftone
// screen (used as 0/1), the screen angle as typed (decimal digits) and the
// cell size in millimetres.
struct BitmapChoice {
    std::uint8_t m_bGrey = 0;
    int m_nHalftone = 0;
    std::string m_angleText;
    double m_dCellSize = 0.0;
};

// Each question shows its dialog modally, opened with the values given, and
// returns IDOK (1) with the operator's choice left in them, or another
// result for a cancel.
class ImportOptions {
public:
    virtual ~ImportOptions() = default;
    // Drawing unit byte: 0 automatic (the file's own unit), 1 inches,
    // 2 millimetres.
    virtual int AskDimensions(std::uint8_t& unit) = 0;
    virtual int AskResolution(ResolutionChoice& choice) = 0;
    virtual int AskBitmap(BitmapChoice& choice) = 0;
    // Whether the answers are kept in the settings file (a preview only
    // looks with the values in force).
    virtual bool KeepsAnswers() const { return true; }
};

// Registers the process-wide dialogs; null restores the headless default,
// which confirms every question with the values it was opened with.
void SetImportOptions(ImportOptions* options);
ImportOptions& GetImportOptions();
// The dialogs of the calling thread alone, in place of the process-wide
// ones; null: none.
void SetThreadImportOptions(ImportOptions* options);

// Confirms every question unchanged: the import goes on with the current
// settings.
class HeadlessImportOptions : public ImportOptions {
public:
    int AskDimensions(std::uint8_t&) override { return IDOK; }
    int AskResolution(ResolutionChoice&) override { return IDOK; }
    int AskBitmap(BitmapChoice&) override { return IDOK; }
};

// The headless answers of a look at a file that imports nothing: nothing is
// kept.
class LookingImportOptions : public HeadlessImportOptions {
public:
    bool KeepsAnswers() const override { return false; }
};

// Records what each dialog was opened with and answers with m_answer; with
// the matching m_set... flag on, the preset choice replaces the values.
class RecordingImportOptions : public ImportOptions {
public:
    int AskDimensions(std::uint8_t& unit) override
    {
        m_dimensionsShown.push_back(unit);
        if (m_setUnit)
            unit = m_unit;
        return m_answer;
    }
    int AskResolution(ResolutionChoice& choice) override
    {
        m_resolutionShown.push_back(choice);
        if (m_setResolution) {
            choice.m_nResolution = m_resolution.m_nResolution;
            choice.m_nCustom = m_resolution.m_nCustom;
        }
        return m_answer;
    }
    int AskBitmap(BitmapChoice& choice) override
    {
        m_bitmapShown.push_back(choice);
        if (m_setBitmap)
            choice = m_bitmap;
        return m_answer;
    }

    int m_answer = IDOK;
    bool m_setUnit = false;
    std::uint8_t m_unit = 1;
    bool m_setResolution = false;
    ResolutionChoice m_resolution;
    bool m_setBitmap = false;
    BitmapChoice m_bitmap;
    std::vector<std::uint8_t> m_dimensionsShown;
    std::vector<ResolutionChoice> m_resolutionShown;
    std::vector<BitmapChoice> m_bitmapShown;
};

} // namespace plat
