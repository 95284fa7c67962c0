#include "ToolFeedback.h"

#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocState.h"
#include "settings/SoftwareSettings.h"

COLORREF CurrentLayerColour(const DOCCONTEXT* ctx)
{
    const SoftwareSettings& settings = CDocData::SettingsOf(ctx);
    return settings.PaletteColor(settings.m_nCurLayer);
}

plat::Pen RubberBandPen(const DOCCONTEXT* ctx)
{
    const COLORREF background = CDocData::SettingsOf(ctx).m_crBackground;
    return plat::Pen{plat::PS_SOLID, 1, CurrentLayerColour(ctx) ^ background};
}
