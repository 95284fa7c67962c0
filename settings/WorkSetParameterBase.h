// Defaults of a layer parameter record. The layer parameter dialog
// (CWorkSetParameter, in the user interface) derives from this class, so that
// CWorkSetParameter::SetDefaults is this one operation; the layer parameter
// file reader below the interface calls it through this class.
#pragma once

struct WorkParams;

class CWorkSetParameterBase {
public:
    // Sets every field to its default (layer id 0, links null) and returns
    // the same record.
    static WorkParams& SetDefaults(WorkParams& rec);
};
